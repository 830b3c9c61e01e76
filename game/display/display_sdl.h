// The display on SDL2: a window (full screen unless asked otherwise) showing one
// 800 x 600 back buffer in memory, scaled to fit with its aspect kept.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <array>
#include <string>

#include "display/display.h"

struct ScreenOptions {
    bool windowed = false;
};

class SdlScreen : public DisplayDevice {
public:
    explicit SdlScreen(ScreenOptions options);
    ~SdlScreen() override;

    void Open() override;
    void Close() override;
    void LoadPicture(Picture picture, const std::string& path, int width, int height) override;
    void Fill(Colour colour) override;
    void Copy(Picture picture, const SourceRect& rect, int x, int y) override;
    void Text(const std::string& text, int x, int y, Colour colour) override;
    void Flip() override;
    void SaveScreenshot(const std::string& path) override;
    uint32_t Ticks() override;
    void ShowWindow() override;
    void ShowPointer(bool shown) override;
    void PumpEvents(EventQueue& queue) override;
    void WaitForEvents(uint32_t milliseconds) override;
    int AverageCharWidth() override;
    void ShowMessage(const std::string& text) override;

    // The back buffer, for tests and screenshots: 800 x 600, 32 bits a pixel.
    SDL_Surface* BackBuffer() const { return back_; }
    // The colour of one back-buffer pixel as 0xRRGGBB.
    uint32_t PixelAt(int x, int y) const;

private:
    ScreenOptions options_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    SDL_Surface* back_ = nullptr;
    TTF_Font* font_ = nullptr;
    std::array<SDL_Surface*, PictureCount> pictures_{};
};

// Where the text font is: the program's folder first, then the system's font folders.
std::string FindFont();
