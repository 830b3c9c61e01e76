#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "play/cave_file.h"
#include "shell/headless.h"
#include "shell/replay.h"

namespace {

namespace fs = std::filesystem;

// A cave of steel with the given rows laid in from the top left.
std::string CaveText(const std::string& settings, std::vector<std::string> rows) {
    std::string text = "# a test cave\n" + settings + "\n";
    rows.resize(25);
    for (std::string& row : rows) text += row + std::string(40 - row.size(), '9') + "\n";
    return text;
}

const std::vector<std::string> Corridor{"9999999999",
                                        "9F2220X009",
                                        "9999999999"};

HeadlessOptions FromFile(const std::string& cave, const std::string& replay = "", int frames = -1) {
    HeadlessOptions options;
    options.caveFile = cave;
    options.replay = replay;
    options.frames = frames;
    return options;
}

class HeadlessTest : public ::testing::Test {
protected:
    fs::path folder = fs::temp_directory_path() / ("kelvoro-headless-" + std::to_string(::getpid()));

    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(folder / name) << text;
        return (folder / name).string();
    }

    // Runs and returns the outcome line, or the error for a failing run.
    std::string Run(HeadlessOptions options, int expectedStatus = 0) {
        std::ostringstream out, err;
        EXPECT_EQ(RunHeadless(options, out, err), expectedStatus) << err.str();
        return expectedStatus == 0 ? out.str() : err.str();
    }
};

TEST_F(HeadlessTest, AReplayWalksToTheExit) {
    const std::string cave = Write("corridor.cave", CaveText("need 3 value 5 time 50", Corridor));
    // The player appears with the fourth clock tick, which follows the keys of frame 36.
    const std::string replay =
        Write("walk.replay", "36 right\n37 right\n37 right\n37 right\n# and out\n38 right\n38 right\n");
    // Three jewels of 5 points, then 46 seconds left give 47 more.
    EXPECT_EQ(Run(FromFile(cave, replay)), "frames 38 outcome exit cave 1 score 62 lives 3 jewels 3 time 46\n");
}

TEST_F(HeadlessTest, TheClockTicksAfterEveryNinthFrameUnlessTheReplayListsTicks) {
    const std::string cave = Write("corridor.cave", CaveText("time 50", Corridor));
    EXPECT_EQ(Run(FromFile(cave, "", 18)), "frames 18 outcome playing cave 1 score 0 lives 3 jewels 0 time 48\n");
    EXPECT_EQ(Run(FromFile(cave, "", 17)), "frames 17 outcome playing cave 1 score 0 lives 3 jewels 0 time 49\n");

    const std::string ticks = Write("ticks.replay", "0 tick\n0 tick\n0 tick\n0 tick\n0 right\n5 tick\n");
    EXPECT_EQ(Run(FromFile(cave, ticks, 30)),
              "frames 30 outcome playing cave 1 score 10 lives 3 jewels 1 time 45\n");
}

TEST_F(HeadlessTest, OutcomesOfDeathAndTime) {
    const std::string cave = Write("short.cave", CaveText("time 5", Corridor));
    EXPECT_EQ(Run(FromFile(cave, "", 60)), "frames 60 outcome timeout cave 1 score 0 lives 2 jewels 0 time 0\n");

    // The firefly's first turn, to its right, points at the player.
    const std::string crowded = Write("crowded.cave", CaveText("", {"9999999", "97F000X", "9999999"}));
    EXPECT_EQ(Run(FromFile(crowded, "", 2)), "frames 2 outcome dead cave 1 score 0 lives 2 jewels 0 time 999\n");

    // Restarting after each death: the third costs the last life.
    const std::string again = Write("again.replay", "2 enter\n4 enter\n6 enter\n");
    EXPECT_EQ(Run(FromFile(crowded, again, 8)),
              "frames 8 outcome gameover cave 1 score 0 lives 0 jewels 0 time 999\n");
}

TEST_F(HeadlessTest, ABuiltInCaveRunsAndPrintsItsGrid) {
    std::ostringstream out, err;
    HeadlessOptions options;
    options.cave = 1;
    options.frames = 1;
    options.printGrid = true;
    ASSERT_EQ(RunHeadless(options, out, err), 0);
    std::istringstream lines(out.str());
    std::string line;
    int rows = 0;
    while (std::getline(lines, line) && line.rfind("frames", 0) != 0) {
        EXPECT_EQ(line.size(), 40u);
        EXPECT_EQ(line.find_first_not_of("0123456789FJBED"), std::string::npos) << line;
        ++rows;
    }
    EXPECT_EQ(rows, 25);
    EXPECT_EQ(line, "frames 1 outcome playing cave 1 score 0 lives 3 jewels 0 time 153");
}

TEST_F(HeadlessTest, FaultsInACaveFileNameTheirLineAndColumn) {
    const struct {
        std::string text;
        std::string error;
    } cases[] = {
        {CaveText("need 3 speed 4", Corridor), ":2:8: unknown setting 'speed'"},
        {CaveText("need many", Corridor), ":2:1: setting 'need' needs a whole number"},
        {CaveText("", {"9999999999", "9F2A20X009"}), ":4:4: 'A' is not a cave cell"},
        {CaveText("", {"9999999999", "9F2220X00" + std::string(31, '0')}), ":4:40: the edge of the cave must be steel (9)"},
        {CaveText("", {"9999999999", "9F2F20X009"}), ":4:4: a second player start F"},
        {CaveText("", {"9999999999", "9F2220X0X9"}), ":4:9: a second exit X"},
        {CaveText("", {"9999999999", "9F22200009"}), ":27:1: no exit X"},
        {"9999\n", ":1:5: a row needs exactly 40 cells"},
        {std::string(40, '9') + "\n", ":2:1: the cave needs 25 rows, found 1"},
        {CaveText("", Corridor) + std::string(40, '9') + "\n", ":28:1: more than 25 rows"},
    };
    for (const auto& c : cases) {
        const std::string path = Write("bad.cave", c.text);
        const std::string error = Run(FromFile(path), 2);
        EXPECT_NE(error.find(path + c.error), std::string::npos) << error;
        EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 1) << error;
    }
    EXPECT_NE(Run(FromFile((folder / "missing.cave").string()), 2).find("cannot read"), std::string::npos);
}

TEST_F(HeadlessTest, FaultsInAReplayNameTheirLine) {
    const std::string cave = Write("corridor.cave", CaveText("", Corridor));
    const std::pair<std::string, std::string> cases[] = {
        {"3 left\n2 right\n", ":2: frame 2 comes before the frame of the line above"},
        {"1 jump\n", ":1: unknown event 'jump'"},
        {"# fine\n\nleft 1\n", ":3: expected '<frame> <event>'"},
        {"-1 left\n", ":1: expected '<frame> <event>'"},
    };
    for (const auto& [text, error] : cases) {
        const std::string path = Write("bad.replay", text);
        EXPECT_NE(Run(FromFile(cave, path), 2).find(path + error), std::string::npos) << text;
    }
}

TEST(CaveFileTest, TheSettingsLineIsOptionalAndTakesAnySubsetInAnyOrder) {
    std::istringstream plain(CaveText("", Corridor));
    std::string error;
    const std::optional<CaveFile> cave = ParseCaveFile(plain, "plain", error);
    ASSERT_TRUE(cave) << error;
    EXPECT_EQ(cave->definition.JewelsNeeded, 10);
    EXPECT_EQ(cave->definition.JewelValue, 10);
    EXPECT_EQ(cave->definition.ExtraJewelValue, 0);
    EXPECT_EQ(cave->definition.CaveTime, 999);
    EXPECT_EQ(cave->definition.EnchantedWallTime, 10);
    EXPECT_FALSE(cave->definition.bonus);
    EXPECT_EQ(cave->definition.rows[1], "9F2220X009999999999999999999999999999999");

    std::istringstream some(CaveText("bonus 1  time 23\twall 3", Corridor));
    const std::optional<CaveFile> bonus = ParseCaveFile(some, "some", error);
    ASSERT_TRUE(bonus) << error;
    EXPECT_TRUE(bonus->definition.bonus);
    EXPECT_EQ(bonus->definition.CaveTime, 23);
    EXPECT_EQ(bonus->definition.EnchantedWallTime, 3);
    EXPECT_EQ(bonus->definition.LevelNumber, 0);
}

}  // namespace
