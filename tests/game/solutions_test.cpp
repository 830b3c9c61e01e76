#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "core/caves.h"
#include "shell/headless.h"
#include "shell/replay.h"

namespace {

std::string SolutionPath(const std::string& name) { return std::string(SOLUTIONS_DIR) + "/" + name; }

std::string CaveSolution(int cave) {
    char name[32];
    std::snprintf(name, sizeof name, "cave%02d.replay", cave);
    return SolutionPath(name);
}

// The words of an outcome line as name -> value ("frames" -> "159", "outcome" -> "exit", ...).
std::map<std::string, std::string> Fields(const std::string& line) {
    std::istringstream words(line);
    std::map<std::string, std::string> fields;
    std::string name, value;
    while (words >> name >> value) fields[name] = value;
    return fields;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Play(HeadlessOptions options) {
    std::ostringstream out, err;
    EXPECT_EQ(RunHeadless(options, out, err), 0) << err.str();
    return out.str();
}

class SolutionTest : public ::testing::TestWithParam<int> {};

TEST_P(SolutionTest, ReachesTheExitInTimeWithoutLosingALife) {
    const int cave = GetParam();
    HeadlessOptions options;
    options.cave = cave;
    options.replay = CaveSolution(cave);
    const auto fields = Fields(Play(options));
    EXPECT_EQ(fields.at("outcome"), "exit");
    EXPECT_EQ(fields.at("cave"), std::to_string(cave));
    EXPECT_GE(std::stoi(fields.at("lives")), 3);
}

TEST_P(SolutionTest, IsPlayableByHand) {
    std::ifstream in(CaveSolution(GetParam()));
    std::string error;
    const std::optional<Replay> replay = ParseReplay(in, "solution", error);
    ASSERT_TRUE(replay) << error;
    EXPECT_FALSE(replay->listsTicks) << "the clock runs by itself";
    std::map<int, int> movesPerFrame;
    for (const ReplayStep& step : replay->steps) ++movesPerFrame[step.frame];
    for (const auto& [frame, moves] : movesPerFrame) EXPECT_LE(moves, 3) << "frame " << frame;
}

INSTANTIATE_TEST_SUITE_P(AllCaves, SolutionTest, ::testing::Range(1, CaveCount + 1));

TEST(WholeGameTest, CavesOneToFiveInOneRunScoreTheirJewelsAndTimeBonuses) {
    HeadlessOptions options;
    options.cave = 1;
    options.replay = SolutionPath("caves01-05.replay");
    options.continueGame = true;
    const std::vector<std::string> lines = Lines(Play(options));
    ASSERT_EQ(lines.size(), 6u);

    int32_t expected = 0;
    for (int cave = 1; cave <= 5; ++cave) {
        const auto fields = Fields(lines[static_cast<size_t>(cave - 1)]);
        ASSERT_EQ(fields.at("outcome"), "exit");
        ASSERT_EQ(fields.at("cave"), std::to_string(cave));
        const CaveDefinition& definition = CaveTable[static_cast<size_t>(cave - 1)];
        const int jewels = std::stoi(fields.at("jewels"));
        const int time = std::stoi(fields.at("time"));
        ASSERT_GE(jewels, definition.JewelsNeeded);
        expected += definition.JewelsNeeded * definition.JewelValue +
                    (jewels - definition.JewelsNeeded) * definition.ExtraJewelValue + (time > 0 ? time + 1 : 0);
        EXPECT_EQ(std::stoi(fields.at("score")), expected) << "after cave " << cave;
    }
    const auto last = Fields(lines.back());
    EXPECT_EQ(last.at("outcome"), "playing");
    EXPECT_EQ(last.at("cave"), "6");
    EXPECT_EQ(std::stoi(last.at("score")), expected);
    EXPECT_GE(std::stoi(last.at("lives")), 3);
}

}  // namespace
