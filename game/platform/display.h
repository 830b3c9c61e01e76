// The drawing primitives the game calls, over one 800 x 600 back buffer, and the
// device below them that a platform layer (or a test) provides.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/pictures.h"

// Colour words are 0x00BBGGRR: red in the low byte.
using Colour = uint32_t;
constexpr Colour MakeColour(uint32_t r, uint32_t g, uint32_t b) { return r + 256 * g + 65536 * b; }

// Left, top, right, bottom; right and bottom are exclusive.
struct SourceRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

constexpr int ScreenWidth = 800;
constexpr int ScreenHeight = 600;

// What the window tells the game. A key going down (never the system's repeats) comes
// with SDL's name for it ("Left", "A", "Keypad 4"), whether Shift was held and the
// character it types into a name (Shift and Caps Lock as usual; 0 for none), and going up
// with its name. A game controller's buttons come the same way under SDL's names for them
// ("a", "start", "dpleft"), its left stick as the D-pad. What a key or button does is for
// the game's one table of keys to say (shell/keys.cpp). Losing the focus or being
// minimised is posted too.
struct WindowEvent {
    enum class Kind { KeyDown, KeyReleased, FocusLost, Quit };
    Kind kind;
    std::string name{};
    bool button = false;
    bool shifted = false;
    int16_t code = 0;
};
using EventQueue = std::vector<WindowEvent>;

// The codes the key handlers take: virtual-key codes for the arrows, characters for the
// command keys; Backspace takes back the last character of a name.
constexpr int16_t KeyLeft = 37;
constexpr int16_t KeyUp = 38;
constexpr int16_t KeyRight = 39;
constexpr int16_t KeyDown = 40;
constexpr int16_t KeyEscape = 27;
constexpr int16_t KeyEnter = 13;
constexpr int16_t KeySpace = 32;
constexpr int16_t KeyLevel = 108;  // lower-case l only
constexpr int16_t KeyBackspace = 8;

// What the game needs from the platform: the screen and the window around it.
// Failures are thrown as GameError.
class DisplayDevice {
public:
    virtual ~DisplayDevice() = default;
    virtual void Open() = 0;
    virtual void Close() = 0;
    virtual void LoadPicture(Picture picture, const std::string& path, int width, int height) = 0;
    virtual void Fill(Colour colour) = 0;
    // Opaque copy of rect to (x, y); the primitives pass only rects that are not empty.
    virtual void Copy(Picture picture, const SourceRect& rect, int x, int y) = 0;
    virtual void Text(const std::string& text, int x, int y, Colour colour) = 0;
    virtual void Flip() = 0;
    // Writes the back buffer as it was last shown to a BMP file.
    virtual void SaveScreenshot(const std::string& path) = 0;
    virtual uint32_t Ticks() = 0;
    virtual void ShowWindow() = 0;
    virtual void ShowPointer(bool shown) = 0;
    // Posts the window's pending events to the queue, oldest first.
    virtual void PumpEvents(EventQueue& queue) = 0;
    // Sleeps until a window event arrives or `milliseconds` have passed.
    virtual void WaitForEvents(uint32_t milliseconds) = 0;
    // The average character width of the text font, in pixels.
    virtual int AverageCharWidth() = 0;
    virtual void ShowMessage(const std::string& text) = 0;
};

// Installs the device the primitives draw on and returns the one installed before; the
// game installs one at start, tests install fakes. Without one, drawing does nothing and
// the tick stays 0.
DisplayDevice* UseDisplayDevice(DisplayDevice* device);

// Shows its own failure message and returns false when the display cannot be set up.
bool InitDisplay();
void ReleaseDisplay();
void ClearBackBuffer(Colour colour);
// Copies rect of picture to screen position (x, y); with clip, 32 x 32 cells are cut to
// the cave view window x 32..767, y 32..567.
void BlitPicture(Picture picture, const SourceRect& rect, int x, int y, bool clip);
// A cell's picture at cell (x, y) of the cave, the view scrolled by (scrollX, scrollY)
// pixels, cut to the view window.
constexpr int CellPixels = 32;
void DrawCellPicture(Picture picture, int x, int y, int scrollX, int scrollY);
void DrawTextAt(const std::string& text, int x, int y, Colour colour);
void FlipScreen();
void SaveScreenshot(const std::string& path);
uint32_t TickCount();
// Creates the surface of one picture from a bitmap file; throws GameError on failure.
void LoadPictureFile(Picture picture, const std::string& path, int width, int height);

void ShowGameWindow();
void ShowMousePointer(bool shown);
void PumpWindowEvents(EventQueue& queue);
void WaitForWindowEvents(uint32_t milliseconds);
// The x at which `text` stands centred on the screen (20 pixels left of the middle).
int16_t CenteredTextX(const std::string& text);
void ShowMessageBox(const std::string& text);

// "<number>/<description>", the tail of every failure message.
std::string ErrorText(int32_t number, const std::string& description);
