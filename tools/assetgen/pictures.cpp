// The game's pictures, drawn in code: cave tiles, creatures, Nuvo, explosions and the title.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "media.h"

namespace {

constexpr int Tile = 32;
constexpr double TwoPi = 2 * std::numbers::pi;

constexpr uint32_t Black = 0x000000;
constexpr uint32_t White = 0xFFFFFF;

constexpr uint32_t EarthDeep = 0x3E2410;
constexpr uint32_t EarthDark = 0x5C3618;
constexpr uint32_t EarthMid = 0x7E4E24;
constexpr uint32_t EarthLight = 0xA46C36;
constexpr uint32_t EarthGrit = 0xC89A5E;
constexpr uint32_t Pebble = 0x8C8478;
constexpr uint32_t PebbleLight = 0xC4BCAE;

constexpr uint32_t SteelShine = 0xDCE2EA;
constexpr uint32_t SteelLight = 0xA8B0BC;
constexpr uint32_t SteelMid = 0x7A8392;
constexpr uint32_t SteelDark = 0x4C525C;
constexpr uint32_t SteelEdge = 0x262A30;

constexpr uint32_t Mortar = 0x3C3632;
constexpr uint32_t BrickLight = 0xD47A52;
constexpr uint32_t BrickMid = 0xA84C2E;
constexpr uint32_t BrickDark = 0x6E2C1A;

constexpr uint32_t MagicMortar = 0x3A2460;
constexpr uint32_t MagicGlow = 0x7CE8FF;

constexpr uint32_t FireflyLight = 0xF4E848;

constexpr uint32_t DoorFrame = 0x1C1E22;

constexpr uint32_t Outline1 = 0x1A120C;

// Four shades of one material, from its shadow to its shine.
using Ramp = std::array<uint32_t, 4>;

constexpr Ramp BoulderRamp = {0x4C4238, 0x7C7062, 0xA89A86, 0xDCD0BC};
constexpr Ramp RivetRamp = {0x3C424C, 0x848D9C, 0xC0C8D4, 0xFFFFFF};
constexpr uint32_t SlimeDeep = 0x0E3A0A;
constexpr Ramp SlimeRamp = {0x1E5A14, 0x3C9424, 0x74CC3C, 0xD4FFA8};

int Channel(uint32_t colour, int shift) { return static_cast<int>((colour >> shift) & 0xFF); }

uint32_t Rgb(double r, double g, double b) {
    const auto byte = [](double v) { return static_cast<uint32_t>(std::clamp(std::lround(v), 0L, 255L)); };
    return byte(r) << 16 | byte(g) << 8 | byte(b);
}

uint32_t Mix(uint32_t from, uint32_t to, double t) {
    t = std::clamp(t, 0.0, 1.0);
    const auto lerp = [&](int shift) { return Channel(from, shift) + (Channel(to, shift) - Channel(from, shift)) * t; };
    return Rgb(lerp(16), lerp(8), lerp(0));
}

// Integer hash for textures: the same cell and salt always give the same value.
uint32_t Hash(int x, int y, uint32_t salt) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + salt * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

double Unit(int x, int y, uint32_t salt) { return static_cast<double>(Hash(x, y, salt) & 0xFFFF) / 65536.0; }

int Wrap(int v, int period) { return ((v % period) + period) % period; }

// Smooth value noise in [0, 1) that repeats every tile, so textures meet their
// neighbours without a seam. `cells` lattice cells span one tile.
double TileNoise(double x, double y, int cells, uint32_t salt) {
    const double fx = x * cells / Tile;
    const double fy = y * cells / Tile;
    const int ix = static_cast<int>(std::floor(fx));
    const int iy = static_cast<int>(std::floor(fy));
    const auto smooth = [](double t) { return t * t * (3 - 2 * t); };
    const double tx = smooth(fx - ix);
    const double ty = smooth(fy - iy);
    const auto corner = [&](int dx, int dy) { return Unit(Wrap(ix + dx, cells), Wrap(iy + dy, cells), salt); };
    const double top = corner(0, 0) + (corner(1, 0) - corner(0, 0)) * tx;
    const double bottom = corner(0, 1) + (corner(1, 1) - corner(0, 1)) * tx;
    return top + (bottom - top) * ty;
}

void Plot(Image& image, int x, int y, uint32_t colour) {
    if (x >= 0 && y >= 0 && x < image.width && y < image.height) image.at(x, y) = colour;
}

void Fill(Image& image, int x, int y, int w, int h, uint32_t colour) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) Plot(image, i, j, colour);
}

// Pixel (x, y) is covered when its centre (x + 0.5, y + 0.5) lies inside.
void Ellipse(Image& image, double cx, double cy, double rx, double ry, uint32_t colour) {
    for (int y = static_cast<int>(cy - ry - 1); y <= static_cast<int>(cy + ry + 1); ++y)
        for (int x = static_cast<int>(cx - rx - 1); x <= static_cast<int>(cx + rx + 1); ++x) {
            const double dx = (x + 0.5 - cx) / rx;
            const double dy = (y + 0.5 - cy) / ry;
            if (dx * dx + dy * dy <= 1) Plot(image, x, y, colour);
        }
}

void Disc(Image& image, double cx, double cy, double r, uint32_t colour) { Ellipse(image, cx, cy, r, r, colour); }

void Line(Image& image, int x0, int y0, int x1, int y1, uint32_t colour) {
    const int dx = std::abs(x1 - x0);
    const int dy = -std::abs(y1 - y0);
    const int sx = x0 < x1 ? 1 : -1;
    const int sy = y0 < y1 ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        Plot(image, x0, y0, colour);
        if (x0 == x1 && y0 == y1) return;
        const int twice = 2 * error;
        if (twice >= dy) error += dy, x0 += sx;
        if (twice <= dx) error += dx, y0 += sy;
    }
}

struct Point {
    double x;
    double y;
};

struct Spot {
    int x;
    int y;
};

void Polygon(Image& image, const std::vector<Point>& corners, uint32_t colour) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            bool inside = false;
            for (size_t i = 0, j = corners.size() - 1; i < corners.size(); j = i++) {
                const Point& a = corners[i];
                const Point& b = corners[j];
                if ((a.y > py) != (b.y > py) && px < (b.x - a.x) * (py - a.y) / (b.y - a.y) + a.x) inside = !inside;
            }
            if (inside) image.at(x, y) = colour;
        }
}

// Rings a sprite drawn on black with a dark line, so it stands out from any neighbour.
void Outline(Image& image, uint32_t colour) {
    const Image drawn = image;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            if (drawn.at(x, y) != Black) continue;
            const auto solid = [&](int i, int j) {
                return i >= 0 && j >= 0 && i < image.width && j < image.height && drawn.at(i, j) != Black;
            };
            if (solid(x - 1, y) || solid(x + 1, y) || solid(x, y - 1) || solid(x, y + 1)) image.at(x, y) = colour;
        }
}

void Blit(Image& target, const Image& source, int left, int top) {
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x) Plot(target, left + x, top + y, source.at(x, y));
}

// Light falls from the upper left; (nx, ny) is the surface's slope, each in -1..1.
uint32_t Lit(double nx, double ny, const Ramp& ramp) {
    const double nz = std::sqrt(std::max(0.0, 1 - nx * nx - ny * ny));
    const double light = -0.48 * nx - 0.56 * ny + 0.67 * nz;
    if (light > 0.93) return ramp[3];
    if (light > 0.62) return ramp[2];
    if (light > 0.2) return ramp[1];
    return ramp[0];
}

void ShadedBall(Image& image, double cx, double cy, double r, const Ramp& ramp) {
    for (int y = static_cast<int>(cy - r - 1); y <= static_cast<int>(cy + r + 1); ++y)
        for (int x = static_cast<int>(cx - r - 1); x <= static_cast<int>(cx + r + 1); ++x) {
            const double nx = (x + 0.5 - cx) / r;
            const double ny = (y + 0.5 - cy) / r;
            if (nx * nx + ny * ny <= 1) Plot(image, x, y, Lit(nx, ny, ramp));
        }
}

// A four-pointed glint: a bright centre with arms fading out.
void Sparkle(Image& image, int x, int y, int arm, uint32_t tint) {
    for (int i = 1; i <= arm; ++i) {
        const uint32_t colour = Mix(White, tint, static_cast<double>(i) / arm);
        Plot(image, x - i, y, colour);
        Plot(image, x + i, y, colour);
        Plot(image, x, y - i, colour);
        Plot(image, x, y + i, colour);
    }
    if (arm >= 3) {
        for (int d : {-1, 1}) {
            Plot(image, x + d, y - 1, tint);
            Plot(image, x + d, y + 1, tint);
        }
    }
    Plot(image, x, y, White);
}

// ---- Cave tiles -------------------------------------------------------------------------

Image Earth() {
    Image image(Tile, Tile);
    for (int y = 0; y < Tile; ++y)
        for (int x = 0; x < Tile; ++x) {
            const double n = 0.6 * TileNoise(x, y, 4, 11) + 0.28 * TileNoise(x, y, 8, 12) + 0.16 * Unit(x, y, 13);
            uint32_t colour = n < 0.36 ? EarthDeep : n < 0.5 ? EarthDark : n < 0.64 ? EarthMid : EarthLight;
            if (Unit(x, y, 14) > 0.96) colour = EarthGrit;
            image.at(x, y) = colour;
        }
    // Small stones, wrapped across the edges like the rest of the soil.
    for (const Spot stone : {Spot{5, 7}, Spot{21, 3}, Spot{13, 20}, Spot{28, 25}, Spot{2, 28}}) {
        const auto put = [&](int dx, int dy, uint32_t colour) {
            image.at(Wrap(stone.x + dx, Tile), Wrap(stone.y + dy, Tile)) = colour;
        };
        put(0, 0, PebbleLight);
        put(1, 0, Pebble);
        put(0, 1, Pebble);
        put(1, 1, Pebble);
        put(2, 1, EarthDeep);
        put(1, 2, EarthDeep);
        put(2, 2, EarthDeep);
    }
    return image;
}

Image Steel() {
    Image image(Tile, Tile);
    for (int y = 0; y < Tile; ++y)
        for (int x = 0; x < Tile; ++x) {
            // Faint diagonal brushing on the plate's face.
            const double brush = TileNoise(x + y, y - x, 16, 21) - 0.5;
            uint32_t colour = Mix(SteelMid, brush > 0 ? SteelLight : SteelDark, std::abs(brush) * 0.7);
            const int far = Tile - 1;
            if (x == 0 || y == 0) colour = (x == 0 && y == far) ? SteelDark : SteelShine;
            else if (x == far || y == far) colour = SteelEdge;
            else if (x == 1 || y == 1) colour = SteelLight;
            else if (x == far - 1 || y == far - 1) colour = SteelDark;
            image.at(x, y) = colour;
        }
    for (const Point rivet : {Point{6, 6}, Point{26, 6}, Point{6, 26}, Point{26, 26}}) {
        Disc(image, rivet.x + 1, rivet.y + 1, 2.6, SteelDark);
        ShadedBall(image, rivet.x, rivet.y, 2.6, RivetRamp);
    }
    return image;
}

// Bricks 16 x 8 with 1-pixel mortar; every other course is shifted half a brick.
uint32_t BrickPixel(int x, int y) {
    const int course = y / 8;
    const int shifted = Wrap(x + (course % 2) * 8, Tile);
    const int bx = shifted % 16;
    const int by = y % 8;
    if (bx == 15 || by == 7) return Mortar;
    const double tint = 0.85 + 0.3 * Unit(shifted / 16, course, 31) + 0.12 * (Unit(x, y, 32) - 0.5);
    const uint32_t base = by == 0 || bx == 0 ? BrickLight : by == 6 || bx == 14 ? BrickDark : BrickMid;
    return Rgb(Channel(base, 16) * tint, Channel(base, 8) * tint, Channel(base, 0) * tint);
}

Image Brick() {
    Image image(Tile, Tile);
    for (int y = 0; y < Tile; ++y)
        for (int x = 0; x < Tile; ++x) image.at(x, y) = BrickPixel(x, y);
    return image;
}

// A band of light sweeps diagonally across the bricks, one third of a tile per frame;
// the mortar carries the enchantment and glows the brightest.
Image MagicWall(int frame) {
    Image image(Tile, Tile);
    for (int y = 0; y < Tile; ++y)
        for (int x = 0; x < Tile; ++x) {
            const double wave = std::cos(TwoPi * ((x + y) / static_cast<double>(Tile) - frame / 3.0));
            const double glow = std::pow(std::max(0.0, wave), 3);
            const uint32_t brick = BrickPixel(x, y);
            image.at(x, y) = brick == Mortar ? Mix(MagicMortar, MagicGlow, 0.25 + glow) : Mix(brick, MagicGlow, 0.5 * glow);
        }
    // Three motes of light, wrapped across the edges.
    for (int i = 0; i < 3; ++i) {
        const int x = Wrap(4 + 11 * i + 7 * frame, Tile);
        const int y = Wrap(23 - 10 * i + 13 * frame, Tile);
        image.at(x, y) = White;
        for (const Spot arm : {Spot{-1, 0}, Spot{1, 0}, Spot{0, -1}, Spot{0, 1}})
            image.at(Wrap(x + arm.x, Tile), Wrap(y + arm.y, Tile)) = MagicGlow;
    }
    return image;
}

Image Boulder() {
    Image image(Tile, Tile);
    const double cx = 16;
    const double cy = 16.5;
    for (int y = 0; y < Tile; ++y)
        for (int x = 0; x < Tile; ++x) {
            const double dx = x + 0.5 - cx;
            const double dy = y + 0.5 - cy;
            const double angle = std::atan2(dy, dx);
            // A slightly lumpy rim reads as rock rather than a ball.
            const double r = 13.6 * (1 + 0.045 * std::sin(3 * angle + 0.7) + 0.03 * std::cos(5 * angle + 1.3));
            if (dx * dx + dy * dy > r * r) continue;
            uint32_t colour = Lit(dx / r, dy / r, BoulderRamp);
            if (Unit(x, y, 41) > 0.9 && colour != BoulderRamp[0]) colour = BoulderRamp[colour == BoulderRamp[3] ? 2 : 0];
            image.at(x, y) = colour;
        }
    // A crack and two pits on the shaded side.
    Line(image, 20, 23, 23, 20, BoulderRamp[0]);
    Line(image, 23, 20, 23, 17, BoulderRamp[0]);
    Plot(image, 19, 24, BoulderRamp[0]);
    Fill(image, 11, 21, 2, 2, BoulderRamp[0]);
    Plot(image, 11, 21, BoulderRamp[1]);
    Fill(image, 24, 11, 2, 1, BoulderRamp[0]);
    Outline(image, Outline1);
    return image;
}

// ---- Jewel ------------------------------------------------------------------------------

// A cut gem seen from the side: a crown of five facets above the girdle and a pavilion
// of five facets narrowing to the tip. Each frame lights every third facet brighter and
// moves the glint, so the three frames read as a sparkle.
Image Jewel(int frame) {
    constexpr std::array<uint32_t, 6> shades = {0x14307A, 0x1E5CB4, 0x3494E4, 0x74CCF6, 0xBCEEFF, 0xF4FFFF};
    struct Facet {
        std::vector<Point> corners;
        int shade;
    };
    const std::vector<Facet> facets = {
        {{{3, 13}, {10, 7}, {13, 13}}, 3},
        {{{10, 7}, {16, 7}, {13, 13}}, 4},
        {{{16, 7}, {13, 13}, {19, 13}}, 3},
        {{{16, 7}, {22, 7}, {19, 13}}, 2},
        {{{22, 7}, {19, 13}, {29, 13}}, 1},
        {{{3, 13}, {8, 13}, {16, 29}}, 3},
        {{{8, 13}, {13, 13}, {16, 29}}, 2},
        {{{13, 13}, {19, 13}, {16, 29}}, 3},
        {{{19, 13}, {24, 13}, {16, 29}}, 1},
        {{{24, 13}, {29, 13}, {16, 29}}, 0},
    };
    Image image(Tile, Tile);
    for (size_t i = 0; i < facets.size(); ++i) {
        const int bright = (static_cast<int>(i) + frame) % 3 == 0 ? 1 : 0;
        Polygon(image, facets[i].corners, shades[static_cast<size_t>(std::min(facets[i].shade + bright, 5))]);
    }
    // The girdle line catches the light.
    Line(image, 4, 13, 28, 13, shades[4]);
    Outline(image, 0x0A1A40);
    constexpr std::array<Point, 3> glints = {Point{11, 9}, Point{25, 12}, Point{14, 20}};
    constexpr std::array<int, 3> arms = {4, 3, 2};
    const Point glint = glints[static_cast<size_t>(frame)];
    Sparkle(image, static_cast<int>(glint.x), static_cast<int>(glint.y), arms[static_cast<size_t>(frame)], shades[4]);
    return image;
}

// ---- Creatures --------------------------------------------------------------------------

// Seen from above: head and antennae at the top, wings spread, and a glowing tail whose
// light pulses dim, bright, middling over the three frames.
Image Firefly(int frame) {
    constexpr std::array<double, 3> glow = {0.55, 1.0, 0.78};
    const double power = glow[static_cast<size_t>(frame)];
    Image image(Tile, Tile);
    const double tailX = 16;
    const double tailY = 21;
    for (int y = 0; y < Tile; ++y)
        for (int x = 0; x < Tile; ++x) {
            const double d = std::hypot(x + 0.5 - tailX, y + 0.5 - tailY);
            const double halo = power * std::pow(std::max(0.0, 1 - d / (10 + 6 * power)), 0.8);
            const double step = std::floor(halo * 4) / 4;  // banded, like a lamp's rings
            if (step > 0) image.at(x, y) = Mix(Black, FireflyLight, step);
        }
    Line(image, 14, 6, 10, 1, 0x6A5A48);
    Line(image, 17, 6, 21, 1, 0x6A5A48);
    Plot(image, 10, 1, 0xE8D8B0);
    Plot(image, 21, 1, 0xE8D8B0);
    for (int side : {-1, 1}) {
        Line(image, 16 + side * 3, 12, 16 + side * 7, 10, 0x3A2A20);
        Line(image, 16 + side * 3, 14, 16 + side * 7, 17, 0x3A2A20);
        Ellipse(image, 16 + side * 6.5, 12.5, 6, 3.6, 0x5A6E88);
        Ellipse(image, 16 + side * 6.5, 12, 5, 2.6, 0xA8C0DA);
        Plot(image, 16 + side * 5, 11, 0xE4F0FF);
    }
    Ellipse(image, tailX, tailY, 4.5, 6.5, Mix(0x6A7010, FireflyLight, power));
    Ellipse(image, tailX - 0.5, tailY - 1, 2.5, 4, Mix(0xB0C030, 0xFFFFE0, power));
    ShadedBall(image, 16, 12.5, 3.6, {0x1E1410, 0x3E2C20, 0x6A503C, 0xA08060});
    ShadedBall(image, 16, 7.5, 3, {0x1E1410, 0x4A2A20, 0x8A4A34, 0xD09070});
    Plot(image, 14, 7, White);
    Plot(image, 17, 7, White);
    Outline(image, Outline1);
    return image;
}

// Seen from above with its wings open, half open and folded up.
Image Butterfly(int frame) {
    constexpr std::array<double, 3> spread = {1.0, 0.6, 0.22};
    const double s = spread[static_cast<size_t>(frame)];
    Image image(Tile, Tile);
    const double cx = 16;
    for (int side : {-1, 1}) {
        const auto wing = [&](double dx, double cy, double rx, double ry, uint32_t edge, uint32_t face) {
            Ellipse(image, cx + side * dx * s, cy, std::max(1.0, rx * s), ry, edge);
            Ellipse(image, cx + side * dx * s, cy, std::max(0.6, (rx - 1.6) * s), ry - 1.6, face);
        };
        wing(8, 10.5, 8, 7.5, 0x4A1060, 0xD03AA0);
        wing(6, 21.5, 6, 5.5, 0x4A1060, 0x9A2AC8);
        if (s > 0.5) {
            Disc(image, cx + side * 9 * s, 9, 2.4 * s, 0xFFE040);
            Disc(image, cx + side * 6.5 * s, 22, 1.6 * s, 0xFFF4C0);
        }
    }
    Fill(image, 15, 7, 2, 19, 0x2A1A14);
    Fill(image, 15, 8, 1, 16, 0x5A4030);
    Line(image, 15, 6, 12, 1, 0x2A1A14);
    Line(image, 16, 6, 19, 1, 0x2A1A14);
    Plot(image, 12, 1, 0xFFE040);
    Plot(image, 19, 1, 0xFFE040);
    Outline(image, Outline1);
    return image;
}

// A wall of slime that fills its cell and meets its neighbours without a seam; the
// bubbles swell and shrink between the two frames.
Image Amoeba(int frame) {
    Image image(Tile, Tile);
    for (int y = 0; y < Tile; ++y)
        for (int x = 0; x < Tile; ++x) {
            const double n = 0.7 * TileNoise(x, y, 4, 51 + frame) + 0.3 * TileNoise(x, y, 8, 53);
            image.at(x, y) = n < 0.4 ? SlimeDeep : n < 0.62 ? SlimeRamp[0] : SlimeRamp[1];
        }
    struct Bubble {
        double x, y, r;
    };
    constexpr std::array<Bubble, 6> bubbles = {
        Bubble{7, 8, 4.5}, Bubble{22, 6, 3.5}, Bubble{15, 18, 5}, Bubble{28, 20, 3.8}, Bubble{5, 26, 3.4}, Bubble{23, 29, 2.6}};
    for (size_t i = 0; i < bubbles.size(); ++i) {
        const Bubble& b = bubbles[i];
        const double r = b.r + ((static_cast<int>(i) + frame) % 2 == 0 ? 1.0 : -0.4);
        // Drawn nine times so that a bubble crossing an edge continues on the far side.
        for (int ox : {-Tile, 0, Tile})
            for (int oy : {-Tile, 0, Tile}) {
                Disc(image, b.x + ox, b.y + oy, r + 1, SlimeDeep);
                ShadedBall(image, b.x + ox, b.y + oy, r, SlimeRamp);
            }
    }
    return image;
}

// ---- Door -------------------------------------------------------------------------------

// The way out, set into a steel plate: an arched doorway whose light flashes dim,
// bright and middling.
Image Door(int frame) {
    constexpr std::array<double, 3> light = {0.25, 1.0, 0.6};
    const double power = light[static_cast<size_t>(frame)];
    Image image = Steel();
    const double cx = 16;
    const double archY = 13;
    const auto opening = [&](int x, int y, double grow) {
        const double dx = x + 0.5 - cx;
        const double dy = y + 0.5 - archY;
        return y <= 27 + grow && std::abs(dx) <= 6.5 + grow && (dy >= 0 || dx * dx + dy * dy <= (6.5 + grow) * (6.5 + grow));
    };
    for (int y = 0; y < Tile; ++y)
        for (int x = 0; x < Tile; ++x) {
            if (opening(x, y, 0)) {
                // Brightest at the threshold, where the light pours out.
                const double t = power * (0.45 + 0.55 * (y - 6) / 21.0);
                const double ring = std::floor(t * 4) / 4;
                image.at(x, y) = Mix(0x301800, Mix(0xFF9A20, 0xFFFFD0, power), ring + 0.15);
            } else if (opening(x, y, 1.5)) {
                image.at(x, y) = DoorFrame;
            }
        }
    Fill(image, 8, 28, 16, 1, Mix(SteelDark, 0xFFD060, power));
    Sparkle(image, 16, 11, 1 + static_cast<int>(power * 3), 0xFFE080);
    return image;
}

// ---- Explosion --------------------------------------------------------------------------

// A white-hot flash that swells over the first frames, then cools through yellow, orange
// and red and breaks up into smoke; the last frame leaves a few embers.
Image Explosion(int frame) {
    constexpr std::array<uint32_t, 6> heatColours = {0x3A2C28, 0x7A200C, 0xD83C10, 0xFF9424, 0xFFE448, 0xFFFFE8};
    constexpr std::array<double, 6> heatSteps = {0.08, 0.18, 0.32, 0.48, 0.66, 0.84};
    const double reach = 8 + 10 * std::min(1.0, frame / 3.0) + 0.6 * frame;
    const double heat = frame < 3 ? 1.0 : std::max(0.12, 1 - 0.13 * (frame - 2));
    const double breakup = std::max(0.0, (frame - 4) / 6.0);
    Image image(Tile, Tile);
    std::vector<Point> puffs = {{16, 16}};
    for (int k = 0; k < 6; ++k) {
        const double angle = TwoPi * (k + 0.3 * Unit(k, 0, 61)) / 6;
        puffs.push_back({16 + std::cos(angle) * reach * 0.5, 16 + std::sin(angle) * reach * 0.5});
    }
    for (int y = 0; y < Tile; ++y)
        for (int x = 0; x < Tile; ++x) {
            double field = -1;
            for (size_t k = 0; k < puffs.size(); ++k) {
                const double radius = reach * (k == 0 ? 0.7 : 0.5);
                field = std::max(field, 1 - std::hypot(x + 0.5 - puffs[k].x, y + 0.5 - puffs[k].y) / radius);
            }
            const double grain = TileNoise(x, y, 8, 62 + static_cast<uint32_t>(frame));
            field += 0.3 * (grain - 0.5);
            if (grain < breakup) field *= 0.3;
            const double t = field * heat;
            for (size_t s = heatSteps.size(); s-- > 0;)
                if (t > heatSteps[s]) {
                    image.at(x, y) = heatColours[s];
                    break;
                }
        }
    return image;
}

// ---- Nuvo -------------------------------------------------------------------------------

enum class Eyes { Open, Wink, Shut };
enum class Mouth { Smile, Yawn };

struct Pose {
    int gaze;  // pupils' shift: -1 left, 0 ahead, 1 right
    Eyes eyes;
    Mouth mouth;
    bool armsUp;
    int footLift;  // pixels the right boot is raised
};

constexpr uint32_t Helmet = 0xF2C030;
constexpr uint32_t HelmetShade = 0xB8841C;
constexpr uint32_t HelmetShine = 0xFFF0A0;
constexpr uint32_t Skin = 0xF2B88C;
constexpr uint32_t SkinShade = 0xC8865E;
constexpr uint32_t Shirt = 0xD03C28;
constexpr uint32_t ShirtShade = 0x8E2418;
constexpr uint32_t Overalls = 0x3C62D0;
constexpr uint32_t OverallsShade = 0x24408E;
constexpr uint32_t Boot = 0x5C3418;
constexpr uint32_t BootShine = 0x8E5A30;
constexpr uint32_t Ink = 0x1A1008;

// Nuvo faces the player: a miner's helmet with a lamp, a round face, red shirt, blue
// overalls and big boots.
Image Nuvo(const Pose& pose) {
    Image image(Tile, Tile);
    // Arms first, so the body overlaps their shoulders.
    for (int side : {-1, 1}) {
        const int x = side < 0 ? 7 : 22;
        if (pose.armsUp) {
            Fill(image, side < 0 ? 5 : 24, 7, 3, 11, Shirt);
            Fill(image, side < 0 ? 7 : 24, 15, 1, 3, ShirtShade);
            Fill(image, side < 0 ? 5 : 24, 4, 3, 3, Skin);
        } else {
            Fill(image, x, 17, 3, 7, Shirt);
            Fill(image, x + (side < 0 ? 0 : 2), 18, 1, 6, ShirtShade);
            Fill(image, x, 24, 3, 2, Skin);
            Plot(image, x + 2, 25, SkinShade);
        }
    }
    // Body: shirt shoulders, overalls with straps and buttons.
    Fill(image, 10, 17, 12, 9, Overalls);
    Fill(image, 10, 17, 2, 3, Shirt);
    Fill(image, 20, 17, 2, 3, Shirt);
    Fill(image, 12, 17, 8, 1, Shirt);
    Fill(image, 20, 20, 2, 6, OverallsShade);
    Plot(image, 12, 18, 0xFFE060);
    Plot(image, 19, 18, 0xFFE060);
    Fill(image, 14, 21, 4, 2, OverallsShade);
    // Legs and boots; the right boot lifts for the foot tap.
    const int lift = pose.footLift;
    Fill(image, 10, 26, 5, 3, Overalls);
    Fill(image, 17, 26, 5, 3 - lift, Overalls);
    Fill(image, 9, 29, 6, 3, Boot);
    Fill(image, 9, 29, 6, 1, BootShine);
    Fill(image, 17, 29 - lift, 6, 3, Boot);
    Fill(image, 17, 29 - lift, 6, 1, BootShine);
    // Head: the helmet's dome cut off at the brim, over a round face.
    Ellipse(image, 16, 9, 7.5, 7, Helmet);
    Fill(image, 8, 9, 16, 8, Black);
    Fill(image, 10, 10, 12, 7, Skin);
    Fill(image, 11, 16, 10, 1, SkinShade);
    Fill(image, 21, 11, 1, 6, SkinShade);
    Fill(image, 7, 8, 18, 2, HelmetShade);
    Fill(image, 7, 8, 18, 1, Helmet);
    Fill(image, 19, 3, 3, 5, HelmetShade);
    Fill(image, 11, 3, 2, 2, HelmetShine);
    Disc(image, 16, 5, 2.2, 0x80786A);
    Disc(image, 16, 5, 1.5, 0xFFFFD8);
    Outline(image, Ink);
    // Face details come after the outline, so it does not ring them.
    for (int eye : {0, 1}) {
        const int left = eye == 0 ? 11 : 18;
        const bool shut = pose.eyes == Eyes::Shut || (pose.eyes == Eyes::Wink && eye == 1);
        if (shut) {
            Fill(image, left, 12, 3, 1, Ink);
            if (pose.eyes == Eyes::Wink) {
                Plot(image, left, 11, Ink);
                Plot(image, left + 2, 11, Ink);
            }
        } else {
            Fill(image, left, 11, 3, 3, White);
            Fill(image, left + 1 + pose.gaze, 11, 1, 3, Ink);
        }
    }
    if (pose.mouth == Mouth::Smile) {
        Fill(image, 14, 15, 4, 1, Ink);
        Plot(image, 13, 14, Ink);
        Plot(image, 18, 14, Ink);
    } else {
        Fill(image, 14, 14, 4, 3, Ink);
        Fill(image, 15, 15, 2, 1, 0xA02020);
    }
    if (lift > 0) {
        // Little strokes under the lifted toe mark the tap.
        Plot(image, 24, 30, 0x9A9AA0);
        Plot(image, 25, 29, 0x9A9AA0);
        Plot(image, 24, 31, 0x6A6A70);
        Plot(image, 26, 31, 0x6A6A70);
    }
    return image;
}

// ---- Title ------------------------------------------------------------------------------

// A bold 7 x 7 block font holding just the letters of the name.
const std::vector<std::string>& Glyph(char letter) {
    static const std::vector<std::pair<char, std::vector<std::string>>> font = {
        {'K', {"XX...XX", "XX..XX.", "XX.XX..", "XXXX...", "XX.XX..", "XX..XX.", "XX...XX"}},
        {'E', {"XXXXXXX", "XX.....", "XX.....", "XXXXXX.", "XX.....", "XX.....", "XXXXXXX"}},
        {'L', {"XX.....", "XX.....", "XX.....", "XX.....", "XX.....", "XX.....", "XXXXXXX"}},
        {'V', {"XX...XX", "XX...XX", "XX...XX", "XX...XX", ".XX.XX.", "..XXX..", "...X..."}},
        {'O', {".XXXXX.", "XX...XX", "XX...XX", "XX...XX", "XX...XX", "XX...XX", ".XXXXX."}},
        {'R', {"XXXXXX.", "XX...XX", "XX...XX", "XXXXXX.", "XX.XX..", "XX..XX.", "XX...XX"}},
        {'D', {"XXXXX..", "XX..XX.", "XX...XX", "XX...XX", "XX...XX", "XX..XX.", "XXXXX.."}},
        {'X', {"XX...XX", "XX...XX", ".XX.XX.", "..XXX..", ".XX.XX.", "XX...XX", "XX...XX"}},
    };
    for (const auto& [key, rows] : font)
        if (key == letter) return rows;
    return font.front().second;
}

// Writes a word in the block font, `scale` pixels per font pixel: a drop shadow, a dark
// outline, and a face running from `top` to `bottom` colour with bevelled edges.
void Lettering(Image& image, const std::string& word, int left, int top, int scale, uint32_t topColour, uint32_t bottomColour) {
    const int advance = 8 * scale;
    const int width = advance * static_cast<int>(word.size()) - scale;
    const int height = 7 * scale;
    const auto inside = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= width || y >= height) return false;
        const int letter = x / advance;
        const int column = (x % advance) / scale;
        return column < 7 && Glyph(word[static_cast<size_t>(letter)])[static_cast<size_t>(y / scale)][static_cast<size_t>(column)] == 'X';
    };
    const int border = std::max(2, scale / 5);
    const int drop = scale / 2;
    const int bevel = std::max(1, scale / 6);
    for (int y = -border; y < height + border + drop; ++y)
        for (int x = -border; x < width + border + drop; ++x) {
            bool near = false;
            for (int j = -border; j <= border && !near; ++j)
                for (int i = -border; i <= border && !near; ++i) near = inside(x + i, y + j);
            if (inside(x - drop, y - drop) && !near) Plot(image, left + x, top + y, 0x2A1430);
            if (!near) continue;
            if (!inside(x, y)) {
                Plot(image, left + x, top + y, 0x140A04);
                continue;
            }
            uint32_t colour = Mix(topColour, bottomColour, static_cast<double>(y) / height);
            if (!inside(x - bevel, y) || !inside(x, y - bevel)) colour = Mix(colour, White, 0.55);
            else if (!inside(x + bevel, y) || !inside(x, y + bevel)) colour = Mix(colour, Black, 0.4);
            Plot(image, left + x, top + y, colour);
        }
}

// The title: a steel-bordered cave holding the name, with a scene of the game's tiles
// below. Cells are laid on a grid shifted half a tile, so that the empty areas the game
// writes its texts and sprites into fall on whole cells.
Image Title(const std::vector<std::pair<std::string, Image>>& tiles) {
    static const std::array<const char*, 14> cave = {
        "SSSSSSSSSSSSSSSSSSSSS",
        "S                   S",
        "S                   S",
        "S                   S",
        "S                   S",
        "S*o                oS",
        "S...o.*..o.. ..o*..oS",
        "S.BBBBBB.*.. U .o..*S",
        "S.*..o.....   ......S",
        "So.    N     .*. F XS",
        "S      .o..MMMM.....S",
        "S      ....o.",
        "So.*.o.o.AAA.",
        "S.*o.oo..AAo.",
    };
    Image image(640, 480);
    static const std::array<std::pair<char, const char*>, 11> legend = {{
        {'S', "steel.bmp"}, {'.', "earth.bmp"}, {'B', "brick.bmp"}, {'o', "boulder.bmp"}, {'*', "diamant31.bmp"},
        {'F', "firefly21.bmp"}, {'U', "butterfly11.bmp"}, {'X', "inout2.bmp"}, {'M', "magicwall1.bmp"},
        {'A', "amoeba1.bmp"}, {'N', "Nuvo.bmp"},
    }};
    const auto tileFor = [&](char cell) -> const Image* {
        for (const auto& [key, name] : legend)
            if (key == cell)
                for (const auto& [tileName, tile] : tiles)
                    if (tileName == name) return &tile;
        return nullptr;
    };
    for (size_t row = 0; row < cave.size(); ++row)
        for (size_t column = 0; cave[row][column] != '\0'; ++column)
            if (const Image* tile = tileFor(cave[row][column]))
                Blit(image, *tile, Tile * static_cast<int>(column) - Tile / 2, Tile * static_cast<int>(row) - Tile / 2);
    Lettering(image, "KELVORO", 45, 30, 10, 0xFFE468, 0xE05A10);
    Lettering(image, "DX", 505, 112, 6, 0xC8F8FF, 0x2C8CE0);
    Sparkle(image, 49, 33, 6, 0xFFE468);
    Sparkle(image, 591, 115, 5, 0xC8F8FF);
    return image;
}

}  // namespace

std::vector<std::pair<std::string, Image>> DrawPictures() {
    std::vector<std::pair<std::string, Image>> pictures;
    const auto add = [&](std::string name, Image image) { pictures.emplace_back(std::move(name), std::move(image)); };
    const auto numbered = [](const char* format, int number) {
        char name[32];
        std::snprintf(name, sizeof name, format, number);
        return std::string(name);
    };
    const std::array<Pose, 5> poses = {
        Pose{0, Eyes::Open, Mouth::Smile, false, 0},  Pose{0, Eyes::Wink, Mouth::Smile, false, 0},
        Pose{-1, Eyes::Open, Mouth::Smile, false, 0}, Pose{1, Eyes::Open, Mouth::Smile, false, 3},
        Pose{0, Eyes::Shut, Mouth::Yawn, true, 0},
    };
    add("Nuvo.bmp", Nuvo(poses[0]));
    for (int i = 1; i <= 4; ++i) add(numbered("Nuvo%d.bmp", i), Nuvo(poses[static_cast<size_t>(i)]));
    for (int i = 0; i < 3; ++i) add(numbered("diamant%d1.bmp", 3 - i), Jewel(i));
    for (int i = 0; i < 3; ++i) add(numbered("firefly%d1.bmp", i + 1), Firefly(i));
    for (int i = 0; i < 3; ++i) add(numbered("butterfly%d1.bmp", i + 1), Butterfly(i));
    add("earth.bmp", Earth());
    add("empty.bmp", Image(Tile, Tile));
    add("steel.bmp", Steel());
    add("brick.bmp", Brick());
    add("boulder.bmp", Boulder());
    for (int i = 0; i < 3; ++i) add(numbered("inout%d.bmp", i + 1), Door(i));
    for (int i = 0; i < 3; ++i) add(numbered("magicwall%d.bmp", i + 1), MagicWall(i));
    for (int i = 0; i < 2; ++i) add(numbered("amoeba%d.bmp", i + 1), Amoeba(i));
    for (int i = 0; i < 10; ++i) add(numbered("explo%d.bmp", i + 1), Explosion(i));
    add("kv001.bmp", Title(pictures));
    return pictures;
}
