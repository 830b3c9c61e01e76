#include "platform/display.h"

#include <utility>

#include "common/game_error.h"

namespace {

DisplayDevice* device = nullptr;

// The cave view window: cells are clipped to x 32..767, y 32..567.
constexpr int ViewLeft = 32;
constexpr int ViewTop = 32;
constexpr int LastCellX = 736;  // the last x at which a 32-pixel cell fits whole
constexpr int LastCellY = 536;

}  // namespace

DisplayDevice* UseDisplayDevice(DisplayDevice* newDevice) { return std::exchange(device, newDevice); }

std::string ErrorText(int32_t number, const std::string& description) {
    return std::to_string(number) + "/" + description;
}

bool InitDisplay() {
    if (!device) return false;
    try {
        device->Open();
        return true;
    } catch (const GameError& error) {
        device->ShowMessage("Fehler in der DirectX-Init:\r" + ErrorText(error.number(), error.what()));
        return false;
    }
}

void ReleaseDisplay() {
    if (device) device->Close();
}

void ClearBackBuffer(Colour colour) {
    if (device) device->Fill(colour);
}

void DrawCellPicture(Picture picture, int x, int y, int scrollX, int scrollY) {
    BlitPicture(picture, {0, 0, CellPixels, CellPixels}, CellPixels * x + scrollX, CellPixels * y + scrollY, true);
}

void BlitPicture(Picture picture, const SourceRect& rect, int x, int y, bool clip) {
    int sx = x;
    int sy = y;
    SourceRect r = rect;
    // These cuts assume a 32 x 32 source starting at (0, 0), as every cell picture is.
    if (clip) {
        if (sx > LastCellX) r.right -= sx - LastCellX;
        if (sx < ViewLeft) {
            r.left = ViewLeft - sx;
            sx = ViewLeft;
        }
        if (sy > LastCellY) r.bottom -= sy - LastCellY;
        if (sy < ViewTop) {
            r.top = ViewTop - sy;
            sy = ViewTop;
        }
    }
    if (device && r.right > r.left && r.bottom > r.top) device->Copy(picture, r, sx, sy);
}

void DrawTextAt(const std::string& text, int x, int y, Colour colour) {
    if (device) device->Text(text, x, y, colour);
}

void FlipScreen() {
    if (device) device->Flip();
}

void SaveScreenshot(const std::string& path) {
    if (device) device->SaveScreenshot(path);
}

uint32_t TickCount() { return device ? device->Ticks() : 0; }

void LoadPictureFile(Picture picture, const std::string& path, int width, int height) {
    if (device) device->LoadPicture(picture, path, width, height);
}

void ShowGameWindow() {
    if (device) device->ShowWindow();
}

void ShowMousePointer(bool shown) {
    if (device) device->ShowPointer(shown);
}

void PumpWindowEvents(EventQueue& queue) {
    if (device) device->PumpEvents(queue);
}

void WaitForWindowEvents(uint32_t milliseconds) {
    if (device) device->WaitForEvents(milliseconds);
}

int16_t CenteredTextX(const std::string& text) {
    const int width = device ? device->AverageCharWidth() : 0;
    return static_cast<int16_t>(400 - static_cast<int>(text.size()) * width / 2 - 20);
}

void ShowMessageBox(const std::string& text) {
    if (device) device->ShowMessage(text);
}

bool LoadPictures() {
    try {
        for (int i = 0; i < PictureCount; ++i) {
            const auto picture = static_cast<Picture>(i);
            const int width = picture == TitleBmp ? 640 : 32;
            const int height = picture == TitleBmp ? 480 : 32;
            LoadPictureFile(picture, ProgramFolder + PictureFiles[static_cast<size_t>(i)], width, height);
        }
        return true;
    } catch (const GameError& error) {
        ShowMessageBox("Fehler in der Load_BMP-Function\r" + ErrorText(error.number(), error.what()));
        return false;
    }
}
