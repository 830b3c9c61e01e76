#include "platform/display_sdl.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>

#include "common/game_error.h"
#include "platform/assets.h"
#include "platform/load_failure.h"

namespace {

constexpr const char* Caption = "Kelvoro DirectX";
constexpr const char* ProgramTitle = "Kelvoro the Game (DirectX-Version)";
constexpr const char* FontFile = "ComicNeue-Regular.otf";
constexpr int FontPoints = 12;
constexpr int ScreenDpi = 96;  // 12 points at 96 dots an inch, as the desktop shows them

[[noreturn]] void Fail(int32_t number, const std::string& what) { throw GameError(number, what + ": " + SDL_GetError()); }

SDL_Color ColourOf(Colour colour) { return SDL_Color{colour.r, colour.g, colour.b, 255}; }

using Kind = WindowEvent::Kind;

bool IsEnter(SDL_Keycode key) { return key == SDLK_RETURN || key == SDLK_KP_ENTER; }

bool TogglesFullScreen(const SDL_Keysym& key) {
    return key.sym == SDLK_F11 || (IsEnter(key.sym) && (key.mod & KMOD_ALT) != 0);
}

// The keys a name is typed with, whatever keys.conf gives them to.
Key NameKey(SDL_Keycode key) {
    switch (key) {
        case SDLK_ESCAPE: return Key::Escape;
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return Key::Enter;
        case SDLK_SPACE: return Key::Space;
        case SDLK_BACKSPACE: return Key::Backspace;
        default: return Key::None;
    }
}

// The character a key types into a player's name: letters (Shift and Caps Lock each turn
// them to capitals), digits, '-', '_', '.' and the space; 0 for every other key.
char TypedCharacter(const SDL_Keysym& key) {
    const bool shift = (key.mod & KMOD_SHIFT) != 0;
    if (key.sym >= SDLK_a && key.sym <= SDLK_z)
        return static_cast<char>((shift != ((key.mod & KMOD_CAPS) != 0) ? 'A' : 'a') + (key.sym - SDLK_a));
    if (key.sym >= SDLK_0 && key.sym <= SDLK_9) return shift ? '\0' : static_cast<char>('0' + (key.sym - SDLK_0));
    switch (key.sym) {
        case SDLK_MINUS: return shift ? '_' : '-';
        case SDLK_PERIOD: return shift ? '\0' : '.';
        case SDLK_SPACE: return ' ';
        default: return '\0';
    }
}

// A pad's arrows in the order of their bits in Pad::dpadHeld and of their D-pad buttons.
constexpr std::array<Key, 4> PadArrows{Key::Left, Key::Up, Key::Right, Key::Down};
constexpr std::array<SDL_GameControllerButton, 4> DpadButtons{
    SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_RIGHT,
    SDL_CONTROLLER_BUTTON_DPAD_DOWN};

size_t ArrowIndex(Key arrow) {
    return static_cast<size_t>(std::find(PadArrows.begin(), PadArrows.end(), arrow) - PadArrows.begin());
}

std::optional<Key> ArrowOf(SDL_GameControllerButton button) {
    const auto found = std::find(DpadButtons.begin(), DpadButtons.end(), button);
    if (found == DpadButtons.end()) return std::nullopt;
    return PadArrows[static_cast<size_t>(found - DpadButtons.begin())];
}

unsigned ArrowBit(Key arrow) { return 1u << ArrowIndex(arrow); }

// A pad's arrow, from the D-pad or the stick, goes down and up as its D-pad button.
std::string ButtonOfArrow(Key arrow) { return SDL_GameControllerGetStringForButton(DpadButtons[ArrowIndex(arrow)]); }

// The stick points somewhere once it is pushed past 45 % of its travel and lets go only
// below 35 %, so a stick resting near the dead zone's edge does not chatter. It keeps its
// arrow until the other axis leads by a clear margin.
constexpr int StickOn = 14746;
constexpr int StickOff = 11469;
constexpr int StickSwitchMargin = 3277;

Key StickArrow(int x, int y, Key held) {
    const bool horizontal = std::abs(x) >= std::abs(y);
    const int lead = horizontal ? std::abs(x) : std::abs(y);
    const Key leading = horizontal ? (x < 0 ? Key::Left : Key::Right) : (y < 0 ? Key::Up : Key::Down);
    const int along = held == Key::Left    ? -x
                      : held == Key::Right ? x
                      : held == Key::Up    ? -y
                      : held == Key::Down  ? y
                                           : 0;
    if (held != Key::None && along >= StickOff && (leading == held || lead < along + StickSwitchMargin)) return held;
    return lead >= StickOn ? leading : Key::None;
}

// Message boxes break lines at "\n"; the game's texts use "\r" and "\r\n".
std::string WithNewLines(const std::string& text) {
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            lines += text[i];
        } else if (i + 1 == text.size() || text[i + 1] != '\n') {
            lines += '\n';
        }
    }
    return lines;
}

// An OpenGL that draws on the processor (Mesa's llvmpipe and softpipe, as on a virtual X
// server or a machine without a graphics driver) costs a few times what SDL's own
// blitter does for one picture a frame.
bool RasterisesOnTheProcessor(SDL_Renderer* renderer) {
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0 || std::string_view(info.name).substr(0, 6) != "opengl") return false;
    using GetString = const unsigned char* (*)(unsigned);
    constexpr unsigned GlRenderer = 0x1F01;
    const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* name = getString ? getString(GlRenderer) : nullptr;
    if (!name) return false;
    const std::string_view drawer = reinterpret_cast<const char*>(name);
    return drawer.find("llvmpipe") != drawer.npos || drawer.find("softpipe") != drawer.npos;
}

}  // namespace

std::string FindFont() {
    namespace fs = std::filesystem;
    const fs::path candidates[] = {fs::path(ProgramFolder) / FontFile,
                                   fs::path("/usr/share/fonts/opentype/comic-neue") / FontFile,
                                   fs::path("/usr/local/share/fonts") / FontFile};
    for (const fs::path& path : candidates)
        if (fs::exists(path)) return path.string();
    return {};
}

SharpScale SharpScaleFor(int outputWidth, int outputHeight, bool pixelPerfect) {
    SharpScale scale;
    const int fits = std::min(outputWidth / ScreenWidth, outputHeight / ScreenHeight);
    if (pixelPerfect && fits >= 1) {
        scale.factor = fits;
        scale.rect.w = ScreenWidth * fits;
        scale.rect.h = ScreenHeight * fits;
    } else {
        if (outputWidth * ScreenHeight >= outputHeight * ScreenWidth) {
            scale.rect.h = outputHeight;
            scale.rect.w = outputHeight * ScreenWidth / ScreenHeight;
        } else {
            scale.rect.w = outputWidth;
            scale.rect.h = outputWidth * ScreenHeight / ScreenWidth;
        }
        const int across = (scale.rect.w + ScreenWidth - 1) / ScreenWidth;
        const int down = (scale.rect.h + ScreenHeight - 1) / ScreenHeight;
        scale.factor = std::max({1, across, down});
    }
    scale.rect.x = (outputWidth - scale.rect.w) / 2;
    scale.rect.y = (outputHeight - scale.rect.h) / 2;
    return scale;
}

std::optional<std::string> MissingDisplay() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return std::string(SDL_GetError());
    const std::string driver = SDL_GetCurrentVideoDriver();
    if (driver != "offscreen" && driver != "dummy" && driver != "evdev") return std::nullopt;
    // SDL_VIDEODRIVER may list several drivers, separated by commas.
    const char* hint = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    for (std::string_view asked = hint ? hint : ""; !asked.empty();) {
        const std::string_view name = asked.substr(0, asked.find(','));
        if (name.size() == driver.size() && SDL_strncasecmp(name.data(), driver.c_str(), name.size()) == 0)
            return std::nullopt;
        asked.remove_prefix(std::min(name.size() + 1, asked.size()));
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return "SDL found none and fell back to its " + driver + " video driver, which shows nothing";
}

SdlScreen::SdlScreen(ScreenOptions options) : options_(std::move(options)), pixelPerfect_(options_.pixelPerfect) {}

SdlScreen::~SdlScreen() { Close(); }

void SdlScreen::Open() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) Fail(DisplayFailure, "no display");
    window_ = SDL_CreateWindow(Caption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, ScreenWidth, ScreenHeight,
                               SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE);
    if (!window_) Fail(DisplayFailure, "cannot open the window");
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC | SDL_RENDERER_TARGETTEXTURE);
    if (renderer_ && RasterisesOnTheProcessor(renderer_)) {
        SDL_DestroyRenderer(renderer_);
        renderer_ = nullptr;
    }
    if (!renderer_) {
        // Straight into the window, not through OpenGL once more.
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE | SDL_RENDERER_TARGETTEXTURE);
    }
    if (!renderer_) Fail(DisplayFailure, "cannot draw into the window");
    // After the renderer: an OpenGL one makes the window anew, where it was first put.
    if (!options_.windowed) SetFullScreen(true);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, ScreenWidth, ScreenHeight);
    back_ = SDL_CreateRGBSurfaceWithFormat(0, ScreenWidth, ScreenHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!texture_ || !back_) Fail(DisplayFailure, "cannot create the back buffer");
    // The picture is opaque: copied over the black, not blended with it.
    SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
    // Keys are read as keys: text input cannot tell the system's repeats from presses.
    SDL_StopTextInput();
    // The game plays from the keyboard when controllers cannot be had.
    padsOn_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    if (padsOn_)
        for (int i = 0; i < SDL_NumJoysticks(); ++i) OpenPad(i);
    if (TTF_Init() != 0) Fail(DisplayFailure, "cannot draw text");
    const std::string font = FindFont();
    font_ = font.empty() ? nullptr : TTF_OpenFontDPI(font.c_str(), FontPoints, ScreenDpi, ScreenDpi);
    if (!font_) throw GameError(FileNotFound, LoadFailure(font.empty() ? ProgramFolder + FontFile : font, "font"));
}

void SdlScreen::Close() {
    for (SDL_Surface*& picture : pictures_) {
        SDL_FreeSurface(picture);
        picture = nullptr;
    }
    if (font_) TTF_CloseFont(font_);
    font_ = nullptr;
    if (TTF_WasInit()) TTF_Quit();
    for (const Pad& pad : pads_) SDL_GameControllerClose(pad.controller);
    pads_.clear();
    if (padsOn_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    padsOn_ = false;
    SDL_FreeSurface(back_);
    back_ = nullptr;
    if (upscaled_) SDL_DestroyTexture(upscaled_);
    upscaled_ = nullptr;
    upscaledFactor_ = 0;
    upscaledFresh_ = false;
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    flipped_ = false;
    if (renderer_) SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    if (window_) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS);
    }
}

void SdlScreen::LoadPicture(Picture picture, const std::string& path, int width, int height) {
    SDL_Surface* file = SDL_LoadBMP(path.c_str());
    if (!file) throw GameError(FileNotFound, LoadFailure(path, "BMP picture"));
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!surface) {
        SDL_FreeSurface(file);
        Fail(DisplayFailure, "out of memory for " + path);
    }
    // A picture of another size is stretched to its surface.
    SDL_BlitScaled(file, nullptr, surface, nullptr);
    SDL_FreeSurface(file);
    SDL_FreeSurface(pictures_[static_cast<size_t>(picture)]);
    pictures_[static_cast<size_t>(picture)] = surface;
}

void SdlScreen::Fill(Colour colour) {
    const SDL_Color c = ColourOf(colour);
    SDL_FillRect(back_, nullptr, SDL_MapRGB(back_->format, c.r, c.g, c.b));
}

void SdlScreen::Copy(Picture picture, const SourceRect& rect, int x, int y) {
    SDL_Surface* source = pictures_[static_cast<size_t>(picture)];
    if (!source) return;
    SDL_Rect from{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    SDL_Rect to{x, y, 0, 0};
    SDL_BlitSurface(source, &from, back_, &to);
}

void SdlScreen::Text(const std::string& text, int x, int y, Colour colour) {
    if (text.empty()) return;
    SDL_Surface* rendered = TTF_RenderUTF8_Blended(font_, text.c_str(), ColourOf(colour));
    if (!rendered) Fail(DisplayFailure, "cannot draw text");
    SDL_Rect to{x, y, 0, 0};
    SDL_BlitSurface(rendered, nullptr, back_, &to);
    SDL_FreeSurface(rendered);
}

void SdlScreen::Flip() {
    SDL_UpdateTexture(texture_, nullptr, back_->pixels, back_->pitch);
    flipped_ = true;
    upscaledFresh_ = false;
    Present();
}

// Shows the last flip again, for an output that changed while the game draws the next.
void SdlScreen::Present() {
    if (!flipped_) return;
    Render();
    SDL_RenderPresent(renderer_);
}

void SdlScreen::Render() {
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(renderer_, &width, &height);
    scale_ = SharpScaleFor(width, height, pixelPerfect_);
    SDL_Texture* shown = Prescaled();
    SDL_SetRenderDrawColor(renderer_, 0, 0, 0, SDL_ALPHA_OPAQUE);
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, shown, nullptr, &scale_.rect);
}

// Sharp bilinear: the back buffer blown up by a whole factor with nearest sampling keeps
// every pixel the same size; the last pass smooths it down to the exact size, which
// blends just the pixels' edges. A picture at a whole factor needs no second pass, and
// the blown-up one is made once a flip, however often it is shown.
SDL_Texture* SdlScreen::Prescaled() {
    const bool whole = scale_.rect.w == ScreenWidth * scale_.factor && scale_.rect.h == ScreenHeight * scale_.factor;
    if (whole || scale_.factor == 1) {
        SDL_SetTextureScaleMode(texture_, whole ? SDL_ScaleModeNearest : SDL_ScaleModeLinear);
        return texture_;
    }
    if (scale_.factor != upscaledFactor_) {
        if (upscaled_) SDL_DestroyTexture(upscaled_);
        upscaled_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_TARGET,
                                      ScreenWidth * scale_.factor, ScreenHeight * scale_.factor);
        upscaledFactor_ = upscaled_ ? scale_.factor : 0;
        upscaledFresh_ = false;
        if (upscaled_) {
            SDL_SetTextureScaleMode(upscaled_, SDL_ScaleModeLinear);
            SDL_SetTextureBlendMode(upscaled_, SDL_BLENDMODE_NONE);
        }
    }
    if (upscaled_ && !upscaledFresh_ && SDL_SetRenderTarget(renderer_, upscaled_) == 0) {
        SDL_SetTextureScaleMode(texture_, SDL_ScaleModeNearest);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
        SDL_SetRenderTarget(renderer_, nullptr);
        upscaledFresh_ = true;
    }
    if (upscaledFresh_) return upscaled_;
    // Too large a texture for the renderer: plain smoothing.
    scale_.factor = 1;
    SDL_SetTextureScaleMode(texture_, SDL_ScaleModeLinear);
    return texture_;
}

SDL_Surface* SdlScreen::ReadScreen() {
    Render();
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(renderer_, &width, &height);
    SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_ARGB8888);
    if (screen && SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, screen->pixels, screen->pitch) != 0) {
        SDL_FreeSurface(screen);
        return nullptr;
    }
    return screen;
}

bool SdlScreen::FullScreen() const {
    return (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

void SdlScreen::SetFullScreen(bool full) {
    if (full) {
        windowedMaximised_ = (SDL_GetWindowFlags(window_) & SDL_WINDOW_MAXIMIZED) != 0;
        SDL_GetWindowPosition(window_, &windowed_.x, &windowed_.y);
        SDL_GetWindowSize(window_, &windowed_.w, &windowed_.h);
        // The position is the picture's, but a window manager puts its frame there.
        int top = 0, left = 0;
        if (SDL_GetWindowBordersSize(window_, &top, &left, nullptr, nullptr) == 0) {
            windowed_.x -= left;
            windowed_.y -= top;
        }
        // Without a window manager nobody else makes the window cover the screen.
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(window_)), &bounds) == 0) {
            SDL_SetWindowPosition(window_, bounds.x, bounds.y);
            SDL_SetWindowSize(window_, bounds.w, bounds.h);
        }
        SDL_SetWindowFullscreen(window_, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(window_, 0);
        if (windowedMaximised_) {
            SDL_MaximizeWindow(window_);
        } else {
            SDL_SetWindowSize(window_, windowed_.w, windowed_.h);
            SDL_SetWindowPosition(window_, windowed_.x, windowed_.y);
        }
    }
}

// What the player sees, at the window's size; the back buffer where the renderer
// cannot read back.
void SdlScreen::SaveScreenshot(const std::string& path) {
    SDL_Surface* shown = ReadScreen();
    const int failed = SDL_SaveBMP(shown ? shown : back_, path.c_str());
    SDL_FreeSurface(shown);
    if (failed != 0) Fail(FileNotFound, "cannot write the screenshot " + path);
}

uint32_t SdlScreen::Ticks() { return SDL_GetTicks(); }

void SdlScreen::ShowWindow() { SDL_ShowWindow(window_); }

void SdlScreen::ShowPointer(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

void SdlScreen::PumpEvents(EventQueue& queue) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_KEYDOWN:
                if (event.key.repeat) break;
                if (TogglesFullScreen(event.key.keysym)) {
                    SetFullScreen(!FullScreen());
                    Present();
                } else if (event.key.keysym.sym == SDLK_F10) {
                    pixelPerfect_ = !pixelPerfect_;
                    Present();
                } else if (const std::string name = SDL_GetKeyName(event.key.keysym.sym); !name.empty()) {
                    const bool shifted = (event.key.keysym.mod & KMOD_SHIFT) != 0;
                    queue.push_back({Kind::KeyDown, name, false, shifted, NameKey(event.key.keysym.sym),
                                     TypedCharacter(event.key.keysym)});
                }
                break;
            case SDL_KEYUP:
                if (const std::string name = SDL_GetKeyName(event.key.keysym.sym); !name.empty())
                    queue.push_back({Kind::KeyReleased, name});
                break;
            case SDL_WINDOWEVENT:
                switch (event.window.event) {
                    case SDL_WINDOWEVENT_FOCUS_LOST:
                    case SDL_WINDOWEVENT_MINIMIZED: queue.push_back({Kind::FocusLost}); break;
                    // The game may not flip for a while (paused, or waiting for a key).
                    case SDL_WINDOWEVENT_SIZE_CHANGED:
                    case SDL_WINDOWEVENT_EXPOSED: Present(); break;
                    default: break;
                }
                break;
            // Some renderers lose what was drawn into textures, the blown-up picture too.
            case SDL_RENDER_TARGETS_RESET:
                upscaledFresh_ = false;
                Present();
                break;
            case SDL_CONTROLLERDEVICEADDED: OpenPad(event.cdevice.which); break;
            case SDL_CONTROLLERDEVICEREMOVED: ClosePad(event.cdevice.which, queue); break;
            case SDL_CONTROLLERBUTTONDOWN:
            case SDL_CONTROLLERBUTTONUP: PadButton(event.cbutton, queue); break;
            case SDL_CONTROLLERAXISMOTION: PadAxis(event.caxis, queue); break;
            case SDL_QUIT: queue.push_back({Kind::Quit}); break;
            default: break;
        }
    }
}

void SdlScreen::OpenPad(int deviceIndex) {
    // Controllers there at the start are announced as added as well.
    if (!padsOn_ || !SDL_IsGameController(deviceIndex) || PadOf(SDL_JoystickGetDeviceInstanceID(deviceIndex))) return;
    SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
    if (!controller) return;
    Pad pad;
    pad.controller = controller;
    pad.id = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
    pads_.push_back(pad);
}

void SdlScreen::ClosePad(SDL_JoystickID id, EventQueue& queue) {
    Pad* pad = PadOf(id);
    if (!pad) return;
    pad->dpad = pad->stick = Key::None;
    PostPadArrow(*pad, queue);
    SDL_GameControllerClose(pad->controller);
    pads_.erase(pads_.begin() + (pad - pads_.data()));
}

SdlScreen::Pad* SdlScreen::PadOf(SDL_JoystickID id) {
    const auto pad = std::find_if(pads_.begin(), pads_.end(), [id](const Pad& p) { return p.id == id; });
    return pad == pads_.end() ? nullptr : &*pad;
}

void SdlScreen::PadButton(const SDL_ControllerButtonEvent& button, EventQueue& queue) {
    Pad* pad = PadOf(button.which);
    if (!pad) return;
    const auto which = static_cast<SDL_GameControllerButton>(button.button);
    const bool down = button.state == SDL_PRESSED;
    if (const std::optional<Key> arrow = ArrowOf(which)) {
        if (down) {
            pad->dpadHeld |= ArrowBit(*arrow);
            pad->dpad = *arrow;
        } else {
            pad->dpadHeld &= ~ArrowBit(*arrow);
            // Back to a D-pad arrow still held, as a thumb rolling over the pad expects.
            if (pad->dpad == *arrow) {
                pad->dpad = Key::None;
                for (const Key other : PadArrows)
                    if (pad->dpadHeld & ArrowBit(other)) pad->dpad = other;
            }
        }
        PostPadArrow(*pad, queue);
    } else if (const char* name = SDL_GameControllerGetStringForButton(which)) {
        queue.push_back({down ? Kind::KeyDown : Kind::KeyReleased, name, true});
    }
}

void SdlScreen::PadAxis(const SDL_ControllerAxisEvent& axis, EventQueue& queue) {
    Pad* pad = PadOf(axis.which);
    if (!pad) return;
    if (axis.axis == SDL_CONTROLLER_AXIS_LEFTX) {
        pad->stickX = axis.value;
    } else if (axis.axis == SDL_CONTROLLER_AXIS_LEFTY) {
        pad->stickY = axis.value;
    } else {
        return;
    }
    pad->stick = StickArrow(pad->stickX, pad->stickY, pad->stick);
    PostPadArrow(*pad, queue);
}

// Posts the change of the pad's arrow as a key would: the old one up, the new one down.
void SdlScreen::PostPadArrow(Pad& pad, EventQueue& queue) {
    const Key arrow = pad.dpad != Key::None ? pad.dpad : pad.stick;
    if (arrow == pad.held) return;
    if (pad.held != Key::None) queue.push_back({Kind::KeyReleased, ButtonOfArrow(pad.held), true});
    if (arrow != Key::None) queue.push_back({Kind::KeyDown, ButtonOfArrow(arrow), true});
    pad.held = arrow;
}

void SdlScreen::WaitForEvents(uint32_t milliseconds) { SDL_WaitEventTimeout(nullptr, static_cast<int>(milliseconds)); }

int SdlScreen::AverageCharWidth() {
    // The width of "x" is what the desktop reports as a font's average character width.
    int advance = 0;
    if (!font_ || TTF_GlyphMetrics32(font_, 'x', nullptr, nullptr, nullptr, nullptr, &advance) != 0) return 0;
    return advance;
}

void SdlScreen::ShowMessage(const std::string& text) {
    const std::string lines = WithNewLines(text);
    std::fprintf(stderr, "kelvoro: %s\n", lines.c_str());
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, ProgramTitle, lines.c_str(), window_);
}

uint32_t SdlScreen::PixelAt(int x, int y) const {
    const auto* row = static_cast<const uint8_t*>(back_->pixels) + y * back_->pitch;
    Uint8 r = 0, g = 0, b = 0;
    SDL_GetRGB(reinterpret_cast<const uint32_t*>(row)[x], back_->format, &r, &g, &b);
    return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
}
