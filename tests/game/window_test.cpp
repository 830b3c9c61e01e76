// The window on SDL2: what it posts for keys and game controllers, full screen, and how
// the back buffer is scaled onto the output.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "platform/assets.h"
#include "platform/display_sdl.h"
#include "shell/keys.h"

namespace {

using Kind = WindowEvent::Kind;
using Shot = std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)>;

std::string Described(const EventQueue& events) {
    std::string text;
    for (const WindowEvent& event : events) {
        if (!text.empty()) text += ' ';
        switch (event.kind) {
            case Kind::KeyDown: text += (event.button ? "pad down " : "down ") + event.name; break;
            case Kind::KeyReleased: text += (event.button ? "pad released " : "released ") + event.name; break;
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
    EXPECT_EQ(Posted(), "down Right released Right");
    EXPECT_FALSE(screen.FullScreen());
}

TEST_F(WindowTest, EveryKeyGoesDownWhenPressedAndIsReleasedWhenLetGoByItsName) {
    for (SDL_Keycode key : {SDLK_LEFT, SDLK_a, SDLK_KP_4, SDLK_ESCAPE, SDLK_F1}) Press(key);
    EXPECT_EQ(Posted(), "down Left released Left down A released A down Keypad 4 released Keypad 4 "
                        "down Escape released Escape down F1 released F1");
}

// Caps Lock changes no key's meaning; Shift types a capital, which commands nothing but still moves.
TEST_F(WindowTest, KeysMeanWhatTheTableSaysAndTypeTheirCharacters) {
    constexpr Key no = Key::None;
    const std::tuple<SDL_Keycode, Uint16, std::optional<ReplayEvent>, Key, char> presses[] = {
        {SDLK_l, KMOD_NONE, ReplayEvent::Level, no, 'l'},         {SDLK_l, KMOD_CAPS, ReplayEvent::Level, no, 'L'},
        {SDLK_m, KMOD_CAPS, ReplayEvent::Mute, no, 'M'},          {SDLK_l, KMOD_LSHIFT, std::nullopt, no, 'L'},
        {SDLK_m, KMOD_RSHIFT | KMOD_CAPS, std::nullopt, no, 'm'}, {SDLK_w, KMOD_LSHIFT | KMOD_CAPS, ReplayEvent::Up, no, 'w'},
        {SDLK_KP_2, KMOD_NUM, ReplayEvent::Down, no, 0},          {SDLK_RETURN, KMOD_NONE, ReplayEvent::Enter, Key::Enter, 0},
        {SDLK_KP_ENTER, KMOD_NONE, ReplayEvent::Enter, Key::Enter, 0}, {SDLK_x, KMOD_NONE, std::nullopt, no, 'x'},
        {SDLK_7, KMOD_NONE, std::nullopt, no, '7'},               {SDLK_MINUS, KMOD_RSHIFT, std::nullopt, no, '_'},
        {SDLK_F1, KMOD_NONE, ReplayEvent::Help, no, 0},           {SDLK_LEFT, KMOD_NONE, ReplayEvent::Left, no, 0},
        {SDLK_SPACE, KMOD_NONE, ReplayEvent::Space, Key::Space, ' '}, {SDLK_BACKSPACE, KMOD_NONE, std::nullopt, Key::Backspace, 0},
    };
    for (const auto& [key, mod, meaning, nameKey, typed] : presses) {
        PushKey(SDL_KEYDOWN, key, mod);
        EventQueue queue;
        screen.PumpEvents(queue);
        ASSERT_EQ(queue.size(), 1u) << key;
        EXPECT_EQ(EventOfKey(queue[0]), meaning) << SDL_GetKeyName(key) << " with " << mod;
        EXPECT_EQ(queue[0].key, nameKey) << SDL_GetKeyName(key) << " with " << mod;
        EXPECT_EQ(queue[0].typed, typed) << SDL_GetKeyName(key) << " with " << mod;
    }
}

// The game never sees these keys go down, only their release, as every key's.
TEST_F(WindowTest, F11AndAltEnterSwitchFullScreenF10TheScalingAndPostOnlyTheirRelease) {
    SDL_Rect bounds;
    ASSERT_EQ(SDL_GetDisplayBounds(0, &bounds), 0) << SDL_GetError();
    ASSERT_NE(bounds.w, ScreenWidth);
    int width = 0, height = 0;
    const std::pair<SDL_Keycode, Uint16> toggles[] = {{SDLK_F11, KMOD_NONE}, {SDLK_RETURN, KMOD_LALT}, {SDLK_F10, KMOD_NONE},
                                                      {SDLK_KP_ENTER, KMOD_RALT}, {SDLK_F10, KMOD_NONE}, {SDLK_F11, KMOD_NONE}};
    bool full = false, pixelPerfect = false;
    for (const auto& [key, mod] : toggles) {
        Press(key, mod);
        EXPECT_EQ(Posted(), "released " + std::string(SDL_GetKeyName(key))) << key;
        (key == SDLK_F10 ? pixelPerfect : full) ^= true;
        EXPECT_EQ(screen.FullScreen(), full) << key;
        EXPECT_EQ(screen.PixelPerfect(), pixelPerfect) << key;
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

// Sharp: the largest centred 4:3 rectangle and the smallest whole factor covering it.
// Pixel perfect: the largest whole factor that fits, centred; the sharp fit below it.
TEST(SharpScaleTest, SharpCoversTheLargestFourByThreeRectanglePixelPerfectFitsAWholeFactor) {
    struct Output {
        int width, height, factor;
        bool pixelPerfect;
        SDL_Rect rect;
    };
    const Output outputs[] = {
        {800, 600, 1, false, {0, 0, 800, 600}},       {1920, 1080, 2, false, {240, 0, 1440, 1080}},
        {1366, 768, 2, false, {171, 0, 1024, 768}},   {640, 480, 1, false, {0, 0, 640, 480}},
        {1600, 1200, 2, false, {0, 0, 1600, 1200}},   {2560, 1440, 3, false, {320, 0, 1920, 1440}},
        {3840, 2160, 4, false, {480, 0, 2880, 2160}}, {1280, 1024, 2, false, {0, 32, 1280, 960}},
        {1280, 720, 2, false, {160, 0, 960, 720}},    {800, 600, 1, true, {0, 0, 800, 600}},
        {1920, 1080, 1, true, {560, 240, 800, 600}},  {1280, 720, 1, true, {240, 60, 800, 600}},
        {1600, 1200, 2, true, {0, 0, 1600, 1200}},    {2560, 1440, 2, true, {480, 120, 1600, 1200}},
        {3840, 2160, 3, true, {720, 180, 2400, 1800}}, {640, 480, 1, true, {0, 0, 640, 480}},
    };
    for (const Output& output : outputs) {
        const SharpScale scale = SharpScaleFor(output.width, output.height, output.pixelPerfect);
        const std::string what = std::to_string(output.width) + "x" + std::to_string(output.height) +
                                 (output.pixelPerfect ? " pixel perfect" : " sharp");
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
    EXPECT_EQ(Posted(), "pad down dpleft");
    Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, false);
    EXPECT_EQ(Posted(), "pad released dpleft");
    Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, true);
    EXPECT_EQ(Posted(), "pad down dpright");
    Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
    EXPECT_EQ(Posted(), "pad released dpright pad down dpdown");
    Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
    EXPECT_EQ(Posted(), "pad released dpdown pad down dpright");
    Button(SDL_CONTROLLER_BUTTON_DPAD_RIGHT, false);
    EXPECT_EQ(Posted(), "pad released dpright");
}

TEST_F(ControllerTest, TheLeftStickPostsArrowsPastItsDeadZoneWithoutChattering) {
    const std::pair<std::pair<int, int>, std::string_view> moves[] = {
        {{10000, 0}, ""},  // under a third of the way: nothing
        {{16000, 0}, "pad down dpright"},
        {{12500, 0}, ""},  // to and fro about 40 %
        {{16000, 0}, ""},
        {{12500, 0}, ""},
        {{10000, 0}, "pad released dpright"},
        {{12500, 0}, ""},
        {{0, -20000}, "pad down dpup"},
        {{-20000, -20000}, ""},  // the diagonal keeps the arrow it had
        {{-20000, 0}, "pad released dpup pad down dpleft"},
        {{0, 0}, "pad released dpleft"},
    };
    for (const auto& [position, posted] : moves) {
        Stick(position.first, position.second);
        EXPECT_EQ(Posted(), posted) << position.first << ", " << position.second;
    }
}

TEST_F(ControllerTest, ButtonsGoDownAndUpAndCommandAsTheTableSays) {
    const std::pair<SDL_GameControllerButton, std::optional<ReplayEvent>> buttons[] = {
        {SDL_CONTROLLER_BUTTON_A, ReplayEvent::Enter}, {SDL_CONTROLLER_BUTTON_START, ReplayEvent::Space},
        {SDL_CONTROLLER_BUTTON_B, ReplayEvent::Esc},   {SDL_CONTROLLER_BUTTON_BACK, ReplayEvent::Esc},
        {SDL_CONTROLLER_BUTTON_Y, ReplayEvent::Level}, {SDL_CONTROLLER_BUTTON_X, std::nullopt},
    };
    for (const auto& [button, meaning] : buttons) {
        // A virtual button is read when events are pumped: a press and release between two would be lost.
        EventQueue queue;
        Button(button, true);
        screen.PumpEvents(queue);
        Button(button, false);
        screen.PumpEvents(queue);
        const std::string name = SDL_GameControllerGetStringForButton(button);
        ASSERT_EQ(Described(queue), "pad down " + name + " pad released " + name);
        EXPECT_EQ(EventOfKey(queue[0]), meaning) << name;
    }
}

TEST_F(ControllerTest, AControllerPluggedInLaterIsReadAndLetsGoOfItsArrowWhenPulled) {
    SDL_Joystick* second = Attach();
    ASSERT_NE(second, nullptr) << SDL_GetError();
    EXPECT_EQ(Posted(), "");
    Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true, second);
    EXPECT_EQ(Posted(), "pad down dpup");
    Detach(second);
    EXPECT_EQ(Posted(), "pad released dpup");
    Button(SDL_CONTROLLER_BUTTON_A, true);
    EXPECT_EQ(Posted(), "pad down a");
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

// The seams crossing one line of the shot, from `from` to `to` along x (or along y when
// `down`); a seam's pixels count by how much lighter than a cell they are, its centre
// where they balance and its weight all of them.
struct Seam { double centre, weight; };
std::vector<Seam> SeamsAlong(SDL_Surface* shot, int line, bool down, int from, int to) {
    const int threshold = (Lightness(Light) - Lightness(Dark)) / 6;
    std::vector<Seam> seams;
    double weight = 0, sum = 0;
    for (int i = from; i <= to; ++i) {
        const int excess = i == to ? 0 : Lightness(down ? PixelOf(shot, line, i) : PixelOf(shot, i, line)) - Lightness(Dark);
        if (excess > threshold) {
            weight += excess;
            sum += static_cast<double>(excess) * i;
        } else if (weight > 0) {
            seams.push_back({sum / weight, weight});
            weight = sum = 0;
        }
    }
    return seams;
}

// Sharp: the seams at even distances and of even weight, none lost, none doubled: every
// cell across the screen within a pixel of one width and one height.
void ExpectEvenSeams(SDL_Surface* shot, const SharpScale& scale, const std::string& what) {
    const SDL_Rect& r = scale.rect;
    const double s = static_cast<double>(r.w) / ScreenWidth;
    const auto check = [&](bool down, int line, int from, int length, size_t count) {
        const std::vector<Seam> seams = SeamsAlong(shot, line, down, from, from + length);
        ASSERT_EQ(seams.size(), count) << what << (down ? ": column " : ": row ") << line;
        EXPECT_NEAR(seams[0].centre, from + (FirstSeam + 0.5) * s - 0.5, 1.0) << what << ": line " << line;
        std::vector<double> cells, weights{seams[0].weight};
        for (size_t k = 1; k < seams.size(); ++k) {
            cells.push_back(seams[k].centre - seams[k - 1].centre);
            weights.push_back(seams[k].weight);
            EXPECT_NEAR(cells.back(), Cell * s, 1.0) << what << ": line " << line << ", seam " << k;
        }
        const auto [narrowest, widest] = std::minmax_element(cells.begin(), cells.end());
        EXPECT_LE(*widest - *narrowest, 1.0) << what << (down ? ": cell heights" : ": cell widths") << " along " << line;
        // Nearest sampling alone would draw some seams twice as heavy as others.
        const auto [lightest, heaviest] = std::minmax_element(weights.begin(), weights.end());
        EXPECT_LE(*heaviest, 1.5 * *lightest) << what << ": seams along " << line;
    };
    // Lines halfway between two seams cross only the seams of the other direction.
    for (int cell : {1, 9, 17}) check(false, r.y + static_cast<int>((Cell * cell + 0.5) * s), r.x, r.w, 25);
    for (int cell : {1, 12, 24}) check(true, r.x + static_cast<int>((Cell * cell + 0.5) * s), r.y, r.h, 19);
}

// Black bars round the picture and no black inside it; pixel perfect (given the back
// buffer), every pixel of it an unblended square of the whole factor.
void ExpectPixels(SDL_Surface* shot, SDL_Surface* back, const SharpScale& scale, const std::string& what) {
    const SDL_Rect& r = scale.rect;
    ASSERT_TRUE(!back || (r.w == ScreenWidth * scale.factor && r.h == ScreenHeight * scale.factor)) << what;
    int wrong = 0;
    for (int y = 0; y < shot->h; ++y)
        for (int x = 0; x < shot->w; ++x) {
            const uint32_t pixel = PixelOf(shot, x, y) & 0xFFFFFF;
            if (x < r.x || x >= r.x + r.w || y < r.y || y >= r.y + r.h)
                wrong += pixel != 0;
            else
                wrong += back ? pixel != (PixelOf(back, (x - r.x) / scale.factor, (y - r.y) / scale.factor) & 0xFFFFFF)
                              : pixel == 0;
        }
    EXPECT_EQ(wrong, 0) << what << ": pixels lit outside the picture, black inside it, or not the back buffer's";
}

// Shows the back buffer, leaves the shot in `name` and the scaling's name, and checks it.
void ExpectShown(SdlScreen& screen, int width, int height, const std::string& name) {
    const std::string file = name + (screen.PixelPerfect() ? "-pixel-perfect.bmp" : "-sharp.bmp");
    screen.Flip();
    const Shot shot(screen.ReadScreen(), SDL_FreeSurface);
    ASSERT_NE(shot, nullptr) << SDL_GetError();
    SDL_SaveBMP(shot.get(), file.c_str());
    EXPECT_EQ(shot->w, width) << file;
    EXPECT_EQ(shot->h, height) << file;
    ExpectPixels(shot.get(), screen.PixelPerfect() ? screen.BackBuffer() : nullptr, screen.Scale(), file);
    if (!screen.PixelPerfect()) ExpectEvenSeams(shot.get(), screen.Scale(), file);
}

void PressAndPump(SdlScreen& screen, SDL_Keycode key) {
    Press(key);
    PostedBy(screen);
}

// Run by ctest under xvfb-run at 1920 x 1080 and at 1280 x 720 with SDL_VIDEODRIVER=x11,
// with no window manager; it leaves its shots in the working folder for a reader.
TEST(ScreenshotTest, FullScreenAndAResizedWindowShowEvenSeamsSharpOrPixelPerfect) {
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
    // F10 switches the scaling, sharp first, and back.
    const auto expectBothScalings = [&screen](int width, int height, const std::string& name) {
        for (bool pixelPerfect : {false, true}) {
            ASSERT_EQ(screen.PixelPerfect(), pixelPerfect);
            ExpectShown(screen, width, height, name);
            PressAndPump(screen, SDLK_F10);
        }
    };
    expectBothScalings(bounds.w, bounds.h, "kelvoro-fullscreen-" + size);

    PressAndPump(screen, SDLK_F11);
    ASSERT_FALSE(screen.FullScreen());
    SDL_SetWindowSize(screen.Window(), 1000, 700);
    SDL_SetWindowPosition(screen.Window(), 40, 10);
    PostedBy(screen);
    expectBothScalings(1000, 700, "kelvoro-window-1000x700");

    // Full screen and back leaves the window where it was, at its size.
    const auto placed = [&screen] {
        std::array<int, 4> at{};
        SDL_GetWindowPosition(screen.Window(), &at[0], &at[1]);
        SDL_GetWindowSize(screen.Window(), &at[2], &at[3]);
        return at;
    };
    const std::array<int, 4> before = placed();
    PressAndPump(screen, SDLK_F11);
    ASSERT_TRUE(screen.FullScreen());
    PressAndPump(screen, SDLK_F11);
    ASSERT_FALSE(screen.FullScreen());
    EXPECT_EQ(placed(), before);

    // Back to full screen from the window, as F11 does it in the game.
    PressAndPump(screen, SDLK_F11);
    ASSERT_TRUE(screen.FullScreen());
    ExpectShown(screen, bounds.w, bounds.h, "kelvoro-fullscreen-again-" + size);
    screen.Close();
}

}  // namespace
