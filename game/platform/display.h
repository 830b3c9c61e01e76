// The drawing primitives the game calls, over one 800 x 600 back buffer, and the
// device below them that a platform layer (or a test) provides.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/assets.h"

// A colour of the screen by its red, green and blue, each 0..255; the platform layer
// turns it into whatever its own surfaces take.
struct Colour {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    friend constexpr bool operator==(Colour, Colour) = default;
};
constexpr Colour MakeColour(uint32_t r, uint32_t g, uint32_t b) {
    return {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b)};
}

// Left, top, right, bottom; right and bottom are exclusive.
struct SourceRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

constexpr int ScreenWidth = 800;
constexpr int ScreenHeight = 600;

// The keys the game is commanded with, whatever keyboard or controller gives them: the
// arrows move, Escape, Enter, Space and Level (the start level) command, and Backspace
// takes back the last character of a name.
enum class Key { None, Left, Up, Right, Down, Escape, Enter, Space, Backspace, Level };

// What the window tells the game. A key going down (never the system's repeats) comes
// with SDL's name for it ("Left", "A", "Keypad 4"), whether Shift was held, which of
// Escape, Enter, Space and Backspace it is (the keys a name is typed with, whatever
// keys.conf says) and the character it types into a name (Shift and Caps Lock as usual;
// 0 for none), and going up with its name. A game controller's buttons come the same way
// under SDL's names for them ("a", "start", "dpleft"), its left stick as the D-pad. What a
// key or button does is for the game's one table of keys to say (shell/keys.cpp). Losing
// the focus or being minimised is posted too.
struct WindowEvent {
    enum class Kind { KeyDown, KeyReleased, FocusLost, Quit };
    Kind kind;
    std::string name{};
    bool button = false;
    bool shifted = false;
    Key key = Key::None;
    char typed = 0;
};
using EventQueue = std::vector<WindowEvent>;

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

// Loads all 38 pictures from ProgramFolder. The first failure shows its message and
// returns false; pictures loaded before it stay loaded.
bool LoadPictures();

void ShowGameWindow();
void ShowMousePointer(bool shown);
void PumpWindowEvents(EventQueue& queue);
void WaitForWindowEvents(uint32_t milliseconds);
// The x at which `text` stands centred on the screen (20 pixels left of the middle).
int16_t CenteredTextX(const std::string& text);
void ShowMessageBox(const std::string& text);

// "<number>/<description>", the tail of every failure message.
std::string ErrorText(int32_t number, const std::string& description);
