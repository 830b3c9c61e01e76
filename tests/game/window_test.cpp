// The window on SDL2: what it posts for keys and game controllers, full screen, and how
// the back buffer is scaled onto the output.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "display/display_sdl.h"
#include "display/pictures.h"

namespace {

using Kind = WindowEvent::Kind;
using Shot = std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)>;

std::string Described(const EventQueue& events) {
    std::string text;
    for (const WindowEvent& event : events) {
        if (!text.empty()) text += ' ';
        switch (event.kind) {
            case Kind::KeyDown: text += "down " + std::to_string(event.code); break;
            case Kind::KeyReleased: text += "released " + std::to_string(event.code); break;
            case Kind::KeyPress: text += "press " + std::to_string(event.code); break;
            case Kind::FocusLost: text += "focuslost"; break;
            case Kind::Quit: text += "quit"; break;
        }
    }
    return text;
}

void PushKey(Uint32 type, SDL_Keycode key, Uint16 mod = KMOD_NONE, Uint8 repeat = 0) {
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    SDL_PushEvent(&event);
}

void Press(SDL_Keycode key, Uint16 mod = KMOD_NONE) {
    PushKey(SDL_KEYDOWN, key, mod);
    PushKey(SDL_KEYUP, key, mod);
}

std::string PostedBy(SdlScreen& screen) {
    EventQueue queue;
    screen.PumpEvents(queue);
    return Described(queue);
}

class WindowTest : public ::testing::Test {
protected:
    SdlScreen screen{ScreenOptions{true}};

    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ProgramFolder = ASSETS_DIR;
        screen.Open();
        Posted();  // whatever opening the window brings
    }
    void TearDown() override { screen.Close(); }

    std::string Posted() { return PostedBy(screen); }
    void OutputSize(int& width, int& height) const {
        SDL_GetRendererOutputSize(SDL_GetRenderer(screen.Window()), &width, &height);
    }
};

TEST_F(WindowTest, TheSystemsKeyRepeatsAreNotPosted) {
    PushKey(SDL_KEYDOWN, SDLK_RIGHT);
    for (SDL_Keycode key : {SDLK_RIGHT, SDLK_SPACE, SDLK_RETURN, SDLK_ESCAPE, SDLK_l, SDLK_F11})
        PushKey(SDL_KEYDOWN, key, KMOD_NONE, 1);
    PushKey(SDL_KEYUP, SDLK_RIGHT);
    EXPECT_EQ(Posted(), "down 39 released 39");
    EXPECT_FALSE(screen.FullScreen());
}

TEST_F(WindowTest, AnArrowGoesDownWhenPressedAndIsReleasedWhenLetGo) {
    for (SDL_Keycode key : {SDLK_LEFT, SDLK_UP, SDLK_RIGHT, SDLK_DOWN}) Press(key);
    EXPECT_EQ(Posted(), "down 37 released 37 down 38 released 38 down 39 released 39 down 40 released 40");
}

TEST_F(WindowTest, CommandKeysArePostedOncePerPress) {
    for (SDL_Keycode key : {SDLK_ESCAPE, SDLK_RETURN, SDLK_KP_ENTER, SDLK_SPACE, SDLK_l, SDLK_m, SDLK_x}) Press(key);
    EXPECT_EQ(Posted(), "press 27 press 13 press 13 press 32 press 108 press 109");
}

TEST_F(WindowTest, ShiftOrCapsLockTurnLAndMToCapitals) {
    Press(SDLK_l, KMOD_LSHIFT);
    Press(SDLK_l, KMOD_CAPS);
    Press(SDLK_l, KMOD_RSHIFT | KMOD_CAPS);
    Press(SDLK_m, KMOD_CAPS);
    Press(SDLK_m, KMOD_LSHIFT | KMOD_CAPS);
    EXPECT_EQ(Posted(), "press 76 press 76 press 108 press 77 press 109");
}

TEST_F(WindowTest, F11AndAltEnterSwitchFullScreenAndPostNothing) {
    SDL_Rect bounds;
    ASSERT_EQ(SDL_GetDisplayBounds(0, &bounds), 0) << SDL_GetError();
    ASSERT_NE(bounds.w, ScreenWidth);
    int width = 0, height = 0;
    const std::pair<SDL_Keycode, Uint16> toggles[] = {
        {SDLK_F11, KMOD_NONE}, {SDLK_RETURN, KMOD_LALT}, {SDLK_KP_ENTER, KMOD_RALT}, {SDLK_F11, KMOD_NONE}};
    bool full = false;
    for (const auto& [key, mod] : toggles) {
        Press(key, mod);
        EXPECT_EQ(Posted(), "") << key;
        full = !full;
        EXPECT_EQ(screen.FullScreen(), full) << key;
        OutputSize(width, height);
        EXPECT_EQ(width, full ? bounds.w : ScreenWidth) << key;
        EXPECT_EQ(height, full ? bounds.h : ScreenHeight) << key;
    }
}

TEST_F(WindowTest, LosingTheFocusOrBeingMinimisedIsPosted) {
    for (Uint8 what : {SDL_WINDOWEVENT_FOCUS_LOST, SDL_WINDOWEVENT_FOCUS_GAINED, SDL_WINDOWEVENT_MINIMIZED}) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = SDL_GetWindowID(screen.Window());
        event.window.event = what;
        SDL_PushEvent(&event);
    }
    EXPECT_EQ(Posted(), "focuslost focuslost");
}

TEST_F(WindowTest, ClosingTheWindowIsPosted) {
    SDL_Event event{};
    event.type = SDL_QUIT;
    SDL_PushEvent(&event);
    EXPECT_EQ(Posted(), "quit");
}

// At twice the size the picture is only blown up: each pixel as two by two, unblended.
TEST_F(WindowTest, AnOutputOfTwiceTheSizeShowsEveryPixelAsTwoByTwo) {
    SDL_SetWindowSize(screen.Window(), 2 * ScreenWidth, 2 * ScreenHeight);
    SDL_Surface* back = screen.BackBuffer();
    const auto backPixel = [back](int x, int y) -> uint32_t& {
        return static_cast<uint32_t*>(back->pixels)[y * back->pitch / 4 + x];
    };
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x) backPixel(x, y) = 0xFF000000 | ((x * 2654435761u) ^ (y * 40503u));
    screen.Flip();
    const Shot shown(screen.ReadScreen(), SDL_FreeSurface);
    ASSERT_NE(shown, nullptr) << SDL_GetError();
    ASSERT_EQ(shown->w, 2 * ScreenWidth);
    ASSERT_EQ(shown->h, 2 * ScreenHeight);
    EXPECT_EQ(screen.Scale().factor, 2);
    int wrong = 0;
    for (int y = 0; y < shown->h; ++y)
        for (int x = 0; x < shown->w; ++x) {
            const uint32_t pixel = static_cast<const uint32_t*>(shown->pixels)[y * shown->pitch / 4 + x];
            wrong += (pixel & 0xFFFFFF) != (backPixel(x / 2, y / 2) & 0xFFFFFF);
        }
    EXPECT_EQ(wrong, 0);
}

TEST(SharpScaleTest, TheLargestWholeFactorThenTheLargestCentredFourByThreeRectangle) {
    struct Output {
        int width, height, factor;
        SDL_Rect rect;
    };
    const Output outputs[] = {
        {800, 600, 1, {0, 0, 800, 600}},       {1920, 1080, 1, {240, 0, 1440, 1080}},
        {1366, 768, 1, {171, 0, 1024, 768}},   {640, 480, 1, {0, 0, 640, 480}},
        {1600, 1200, 2, {0, 0, 1600, 1200}},   {2560, 1440, 2, {320, 0, 1920, 1440}},
        {3840, 2160, 3, {480, 0, 2880, 2160}}, {1280, 1024, 1, {0, 32, 1280, 960}},
    };
    for (const Output& output : outputs) {
        const SharpScale scale = SharpScaleFor(output.width, output.height);
        const std::string what = std::to_string(output.width) + "x" + std::to_string(output.height);
        EXPECT_EQ(scale.factor, output.factor) << what;
        EXPECT_EQ(scale.rect.x, output.rect.x) << what;
        EXPECT_EQ(scale.rect.y, output.rect.y) << what;
        EXPECT_EQ(scale.rect.w, output.rect.w) << what;
        EXPECT_EQ(scale.rect.h, output.rect.h) << what;
    }
}

// A virtual game controller, plugged in before the window opens.
class ControllerTest : public WindowTest {
protected:
    SDL_Joystick* pad = nullptr;

    void SetUp() override {
        // SDL drops controller input while no window has the focus, as the dummy one never has.
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER), 0) << SDL_GetError();
        pad = Attach();
        if (!pad) GTEST_SKIP() << "no virtual game controller: " << SDL_GetError();
        // Gone with its "added" event: only the window's opening can find it now.
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        WindowTest::SetUp();
    }
    void TearDown() override {
        WindowTest::TearDown();
        Detach(pad);
        SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
        SDL_ResetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS);
    }

    static SDL_Joystick* Attach() {
        const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                                    SDL_CONTROLLER_BUTTON_MAX, 0);
        return index < 0 ? nullptr : SDL_JoystickOpen(index);
    }
    static void Detach(SDL_Joystick* joystick) {
        if (!joystick) return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
        SDL_JoystickClose(joystick);
        for (int i = 0; i < SDL_NumJoysticks(); ++i)
            if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    }
    void Button(SDL_GameControllerButton button, bool down, SDL_Joystick* joystick = nullptr) {
        SDL_JoystickSetVirtualButton(joystick ? joystick : pad, button, down ? SDL_PRESSED : SDL_RELEASED);
    }
    void Stick(int x, int y) {
        SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTX, static_cast<Sint16>(x));
        SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_LEFTY, static_cast<Sint16>(y));
    }
};

TEST_F(ControllerTest, TheDpadPostsArrowsAsKeysDo) {
    Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    EXPECT_EQ(Posted(), "down 37");
    Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    EXPECT_EQ(Posted(), "released 37");
    Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    EXPECT_EQ(Posted(), "down 39");
    Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    EXPECT_EQ(Posted(), "released 39 down 40");
    Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
    EXPECT_EQ(Posted(), "released 40 down 39");
    Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    EXPECT_EQ(Posted(), "released 39");
}

TEST_F(ControllerTest, TheLeftStickPostsArrowsPastItsDeadZoneWithoutChattering) {
    const std::pair<std::pair<int, int>, std::string_view> moves[] = {
        {{10000, 0}, ""},  // under a third of the way: nothing
        {{16000, 0}, "down 39"},
        {{12500, 0}, ""},  // to and fro about 40 %
        {{16000, 0}, ""},
        {{12500, 0}, ""},
        {{10000, 0}, "released 39"},
        {{12500, 0}, ""},
        {{0, -20000}, "down 38"},
        {{-20000, -20000}, ""},  // the diagonal keeps the arrow it had
        {{-20000, 0}, "released 38 down 37"},
        {{0, 0}, "released 37"},
    };
    for (const auto& [position, posted] : moves) {
        Stick(position.first, position.second);
        EXPECT_EQ(Posted(), posted) << position.first << ", " << position.second;
    }
}

TEST_F(ControllerTest, ButtonsPostCommandKeys) {
    const std::pair<SDL_GameControllerButton, std::string_view> buttons[] = {
        {SDL_CONTROLLER_BUTTON_A, "press 13"},  {SDL_CONTROLLER_BUTTON_START, "press 32"},
        {SDL_CONTROLLER_BUTTON_B, "press 27"},  {SDL_CONTROLLER_BUTTON_BACK, "press 27"},
        {SDL_CONTROLLER_BUTTON_Y, "press 108"}, {SDL_CONTROLLER_BUTTON_X, ""},
    };
    for (const auto& [button, posted] : buttons) {
        Button(button, true);
        EXPECT_EQ(Posted(), posted) << button;
        Button(button, false);
        EXPECT_EQ(Posted(), "") << button;
    }
}

TEST_F(ControllerTest, AControllerPluggedInLaterIsReadAndLetsGoOfItsArrowWhenPulled) {
    SDL_Joystick* second = Attach();
    ASSERT_NE(second, nullptr) << SDL_GetError();
    EXPECT_EQ(Posted(), "");
    Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true, second);
    EXPECT_EQ(Posted(), "down 38");
    Detach(second);
    EXPECT_EQ(Posted(), "released 38");
    Button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_EQ(Posted(), "press 13");
}

// The screenshot test: a pattern of 32-pixel cells divided by light one-pixel seams, 16
// pixels in so that no seam touches the picture's edge, on a real X display.
constexpr int Cell = 32;
constexpr int FirstSeam = 16;
constexpr uint32_t Dark = 0xFF202020;
constexpr uint32_t Light = 0xFFE0E0E0;

uint32_t& PixelOf(SDL_Surface* surface, int x, int y) {
    return static_cast<uint32_t*>(surface->pixels)[y * surface->pitch / 4 + x];
}

int Lightness(uint32_t pixel) { return static_cast<int>((pixel & 0xFF) + ((pixel >> 8) & 0xFF) + ((pixel >> 16) & 0xFF)) / 3; }

// The centres of the seams crossing one line of the shot, from `from` to `to` along x (or
// along y when `down`); a seam's pixels count by how much lighter than a cell they are.
std::vector<double> SeamsAlong(SDL_Surface* shot, int line, bool down, int from, int to) {
    const int threshold = (Lightness(Light) - Lightness(Dark)) / 6;
    std::vector<double> seams;
    double weight = 0, sum = 0;
    for (int i = from; i <= to; ++i) {
        const int excess = i == to ? 0 : Lightness(down ? PixelOf(shot, line, i) : PixelOf(shot, i, line)) - Lightness(Dark);
        if (excess > threshold) {
            weight += excess;
            sum += static_cast<double>(excess) * i;
        } else if (weight > 0) {
            seams.push_back(sum / weight);
            weight = sum = 0;
        }
    }
    return seams;
}

// Black bars round the picture, no pixel of the picture left black, and the seams at even
// distances: none lost, none doubled by the scaling.
void ExpectEvenSeams(SDL_Surface* shot, const SharpScale& scale, const std::string& what) {
    const SDL_Rect& r = scale.rect;
    int wrong = 0;
    for (int y = 0; y < shot->h; ++y)
        for (int x = 0; x < shot->w; ++x) {
            const bool inside = x >= r.x && x < r.x + r.w && y >= r.y && y < r.y + r.h;
            wrong += inside == ((PixelOf(shot, x, y) & 0xFFFFFF) == 0);
        }
    EXPECT_EQ(wrong, 0) << what << ": pixels black inside the picture or lit outside it";
    const double s = static_cast<double>(r.w) / ScreenWidth;
    const auto check = [&](bool down, int line, int from, int length, size_t count) {
        const std::vector<double> seams = SeamsAlong(shot, line, down, from, from + length);
        ASSERT_EQ(seams.size(), count) << what << (down ? ": column " : ": row ") << line;
        EXPECT_NEAR(seams.front(), from + (FirstSeam + 0.5) * s - 0.5, 1.0) << what << ": line " << line;
        for (size_t k = 1; k < seams.size(); ++k)
            EXPECT_NEAR(seams[k] - seams[k - 1], Cell * s, 1.0) << what << ": line " << line << ", seam " << k;
    };
    // Lines halfway between two seams cross only the seams of the other direction.
    for (int cell : {1, 9, 17}) check(false, r.y + static_cast<int>((Cell * cell + 0.5) * s), r.x, r.w, 25);
    for (int cell : {1, 12, 24}) check(true, r.x + static_cast<int>((Cell * cell + 0.5) * s), r.y, r.h, 19);
}

Shot ShotOf(SdlScreen& screen, const std::string& file) {
    screen.Flip();
    Shot shot(screen.ReadScreen(), SDL_FreeSurface);
    if (shot) SDL_SaveBMP(shot.get(), file.c_str());
    return shot;
}

// Run by ctest under xvfb-run at 1920 x 1080 with SDL_VIDEODRIVER=x11; it leaves its shots
// in the working folder for a reader.
TEST(ScreenshotTest, FullScreenAndAResizedWindowShowEvenSeams) {
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (!driver || std::string_view(driver) != "x11" || !std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs an X display: ctest runs this under xvfb-run";
    ProgramFolder = ASSETS_DIR;
    SdlScreen screen(ScreenOptions{false});
    screen.Open();
    screen.ShowWindow();
    SDL_Surface* back = screen.BackBuffer();
    for (int y = 0; y < ScreenHeight; ++y)
        for (int x = 0; x < ScreenWidth; ++x)
            PixelOf(back, x, y) = x % Cell == FirstSeam || y % Cell == FirstSeam ? Light : Dark;
    SDL_Rect bounds;
    ASSERT_EQ(SDL_GetDisplayBounds(0, &bounds), 0) << SDL_GetError();
    const std::string size = std::to_string(bounds.w) + "x" + std::to_string(bounds.h);

    const Shot full = ShotOf(screen, "kelvoro-fullscreen-" + size + ".bmp");
    ASSERT_NE(full, nullptr) << SDL_GetError();
    EXPECT_EQ(full->w, bounds.w);
    EXPECT_EQ(full->h, bounds.h);
    ExpectEvenSeams(full.get(), screen.Scale(), "full screen");

    Press(SDLK_F11);
    PostedBy(screen);
    ASSERT_FALSE(screen.FullScreen());
    SDL_SetWindowSize(screen.Window(), 1000, 700);
    PostedBy(screen);
    const Shot window = ShotOf(screen, "kelvoro-window-1000x700.bmp");
    ASSERT_NE(window, nullptr) << SDL_GetError();
    EXPECT_EQ(window->w, 1000);
    EXPECT_EQ(window->h, 700);
    ExpectEvenSeams(window.get(), screen.Scale(), "window");

    // Back to full screen from the window, as F11 does it in the game.
    Press(SDLK_F11);
    PostedBy(screen);
    ASSERT_TRUE(screen.FullScreen());
    const Shot again = ShotOf(screen, "kelvoro-fullscreen-again-" + size + ".bmp");
    ASSERT_NE(again, nullptr) << SDL_GetError();
    EXPECT_EQ(again->w, bounds.w);
    ExpectEvenSeams(again.get(), screen.Scale(), "full screen again");
    screen.Close();
}

}  // namespace
