// The display on SDL2: a window (full screen unless asked otherwise) showing one
// 800 x 600 back buffer in memory, scaled to fit with its aspect kept. F11 and Alt+Enter
// switch between full screen and the window, F10 between sharp and pixel-perfect
// scaling, here; the game never sees them.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "platform/display.h"

struct ScreenOptions {
    bool windowed = false;
    bool pixelPerfect = false;  // whole factors only, with black borders
};

// How the back buffer fills an output, centred. Sharp: `rect` is the largest 4:3
// rectangle that fits; the picture is blown up with nearest sampling by `factor`, the
// smallest whole factor that covers `rect`, then smoothed down onto it, so pixels stay
// within a pixel of one size and only their edges blend. Pixel perfect: `factor` is the
// largest whole factor that fits and `rect` the picture at exactly that size, unfiltered,
// with black borders; an output smaller than the picture gets the sharp fit.
struct SharpScale {
    int factor = 1;
    SDL_Rect rect{0, 0, ScreenWidth, ScreenHeight};
};
SharpScale SharpScaleFor(int outputWidth, int outputHeight, bool pixelPerfect = false);

// Why the game cannot be seen, or nothing when it can: SDL opens no display, or only
// one of its off-screen drivers that SDL_VIDEODRIVER did not ask for. A display found is
// left open for the screen (SDL counts its openings of video), so that the program
// connects to it once; the caller closes it with SDL_QuitSubSystem(SDL_INIT_VIDEO).
std::optional<std::string> MissingDisplay();

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

    // What the window shows of the last flip, at the size of the output, 32 bits a pixel
    // (ARGB8888); the caller frees it. Null when the renderer cannot read back.
    SDL_Surface* ReadScreen();
    // The scale of the picture last put on the output.
    SharpScale Scale() const { return scale_; }
    bool PixelPerfect() const { return pixelPerfect_; }
    bool FullScreen() const;
    SDL_Window* Window() const { return window_; }

private:
    // A game controller and the arrow it holds down: the D-pad's wins over the stick's.
    struct Pad {
        SDL_GameController* controller = nullptr;
        SDL_JoystickID id = -1;
        unsigned dpadHeld = 0;  // one bit for each arrow: left, up, right, down
        Key dpad = Key::None;   // the held D-pad arrow pressed last
        int16_t stickX = 0;
        int16_t stickY = 0;
        Key stick = Key::None;
        Key held = Key::None;
    };

    void SetFullScreen(bool full);
    void Present();
    void Render();
    SDL_Texture* Prescaled();
    void OpenPad(int deviceIndex);
    void ClosePad(SDL_JoystickID id, EventQueue& queue);
    Pad* PadOf(SDL_JoystickID id);
    void PadButton(const SDL_ControllerButtonEvent& button, EventQueue& queue);
    void PadAxis(const SDL_ControllerAxisEvent& axis, EventQueue& queue);
    static void PostPadArrow(Pad& pad, EventQueue& queue);

    ScreenOptions options_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    SDL_Texture* upscaled_ = nullptr;  // the back buffer blown up by upscaledFactor_
    int upscaledFactor_ = 0;
    bool upscaledFresh_ = false;  // upscaled_ holds the last flip
    SharpScale scale_;
    bool pixelPerfect_ = false;
    bool flipped_ = false;
    SDL_Rect windowed_{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, ScreenWidth, ScreenHeight};
    bool windowedMaximised_ = false;
    bool padsOn_ = false;
    std::vector<Pad> pads_;
    SDL_Surface* back_ = nullptr;
    TTF_Font* font_ = nullptr;
    std::array<SDL_Surface*, PictureCount> pictures_{};
};

// Where the text font is: the program's folder first, then the system's font folders.
std::string FindFont();
