#include "shell/demo.h"

#include <sstream>
#include <string>

#include "platform/display.h"

namespace {

constexpr Colour White = MakeColour(255, 255, 255);
constexpr int BannerY = 572;  // in the band below the cave view

}  // namespace

std::optional<Demo> MakeDemo(int shown) {
    if (DemoSolutions.empty()) return std::nullopt;
    const DemoSolution& solution = DemoSolutions[static_cast<size_t>(shown) % DemoSolutions.size()];
    std::istringstream text(solution.replay);
    std::string error;
    const std::optional<Replay> replay = ParseReplay(text, "demo", error);
    if (!replay) return std::nullopt;
    return Demo{solution.cave, *replay};
}

void DrawDemoBanner() {
    const std::string banner = "DEMO";
    DrawTextAt(banner, CenteredTextX(banner), BannerY, White);
}
