#include "display/display_sdl.h"

#include <cstdio>
#include <filesystem>
#include <optional>

#include "common/game_error.h"
#include "display/load_failure.h"
#include "display/pictures.h"

namespace {

constexpr const char* Caption = "Kelvoro DirectX";
constexpr const char* ProgramTitle = "Kelvoro the Game (DirectX-Version)";
constexpr const char* FontFile = "ComicNeue-Regular.otf";
constexpr int FontPoints = 12;
constexpr int ScreenDpi = 96;  // 12 points at 96 dots an inch, as the desktop shows them

// The numbers our failures carry: SDL reports none of its own.
constexpr int32_t DisplayFailure = 1;
constexpr int32_t FileNotFound = 53;

[[noreturn]] void Fail(int32_t number, const std::string& what) { throw GameError(number, what + ": " + SDL_GetError()); }

SDL_Color ColourOf(Colour colour) {
    return SDL_Color{static_cast<Uint8>(colour & 0xFF), static_cast<Uint8>((colour >> 8) & 0xFF),
                     static_cast<Uint8>((colour >> 16) & 0xFF), 255};
}

// Arrows go down as keys; characters come as text input, but Esc and Enter have none.
std::optional<WindowEvent> KeyEventOf(const SDL_KeyboardEvent& key) {
    using Kind = WindowEvent::Kind;
    switch (key.keysym.sym) {
        case SDLK_LEFT: return WindowEvent{Kind::KeyDown, KeyLeft};
        case SDLK_UP: return WindowEvent{Kind::KeyDown, KeyUp};
        case SDLK_RIGHT: return WindowEvent{Kind::KeyDown, KeyRight};
        case SDLK_DOWN: return WindowEvent{Kind::KeyDown, KeyDown};
        case SDLK_ESCAPE: return WindowEvent{Kind::KeyPress, KeyEscape};
        case SDLK_RETURN:
        case SDLK_KP_ENTER: return WindowEvent{Kind::KeyPress, KeyEnter};
        default: return std::nullopt;
    }
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

SdlScreen::SdlScreen(ScreenOptions options) : options_(std::move(options)) {}

SdlScreen::~SdlScreen() { Close(); }

void SdlScreen::Open() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) Fail(DisplayFailure, "no display");
    const Uint32 flags = SDL_WINDOW_HIDDEN | (options_.windowed ? 0u : static_cast<Uint32>(SDL_WINDOW_FULLSCREEN_DESKTOP));
    window_ = SDL_CreateWindow(Caption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, ScreenWidth, ScreenHeight, flags);
    if (!window_) Fail(DisplayFailure, "cannot open the window");
    renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer_) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer_) Fail(DisplayFailure, "cannot draw into the window");
    // The desktop keeps its video mode: the picture is scaled to it with its aspect kept.
    SDL_RenderSetLogicalSize(renderer_, ScreenWidth, ScreenHeight);
    texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, ScreenWidth, ScreenHeight);
    back_ = SDL_CreateRGBSurfaceWithFormat(0, ScreenWidth, ScreenHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!texture_ || !back_) Fail(DisplayFailure, "cannot create the back buffer");
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
    SDL_FreeSurface(back_);
    back_ = nullptr;
    if (texture_) SDL_DestroyTexture(texture_);
    texture_ = nullptr;
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
    SDL_RenderClear(renderer_);
    SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    SDL_RenderPresent(renderer_);
}

void SdlScreen::SaveScreenshot(const std::string& path) {
    if (SDL_SaveBMP(back_, path.c_str()) != 0) Fail(FileNotFound, "cannot write the screenshot " + path);
}

uint32_t SdlScreen::Ticks() { return SDL_GetTicks(); }

void SdlScreen::ShowWindow() { SDL_ShowWindow(window_); }

void SdlScreen::ShowPointer(bool shown) { SDL_ShowCursor(shown ? SDL_ENABLE : SDL_DISABLE); }

void SdlScreen::PumpEvents(EventQueue& queue) {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        switch (event.type) {
            case SDL_KEYDOWN:
                if (const std::optional<WindowEvent> key = KeyEventOf(event.key)) queue.push_back(*key);
                break;
            case SDL_TEXTINPUT:
                for (const char* c = event.text.text; *c; ++c)
                    if (static_cast<unsigned char>(*c) < 128)
                        queue.push_back({WindowEvent::Kind::KeyPress, static_cast<int16_t>(*c)});
                break;
            case SDL_QUIT: queue.push_back({WindowEvent::Kind::Quit}); break;
            default: break;
        }
    }
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
