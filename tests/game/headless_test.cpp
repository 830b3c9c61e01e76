#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "core/cave_file.h"
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

    // Runs and returns the outcome line, or the error for a failing run, which plays nothing.
    std::string Run(HeadlessOptions options, int expectedStatus = 0) {
        std::ostringstream out, err;
        EXPECT_EQ(RunHeadless(options, out, err), expectedStatus) << err.str();
        if (expectedStatus != 0) {
            EXPECT_EQ(out.str(), "");
        }
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
        {CaveText("need 3 time 9 need 4", Corridor), ":2:15: setting 'need' is given twice"},
        {CaveText("need many", Corridor), ":2:1: setting 'need' needs a whole number"},
        {CaveText("need -1", Corridor), ":2:6: need -1 is outside 0 to 999"},
        {CaveText("value 5 time 0", Corridor), ":2:14: time 0 is outside 1 to 999"},
        {CaveText("\twall 1000", Corridor), ":2:14: wall 1000 is outside 0 to 999"},
        {CaveText("# \xC3\xA9\n\xC3\xA9 1", Corridor), ":3:1: unknown setting '\\xc3\\xa9'"},
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

TEST_F(HeadlessTest, FaultsInAReplayNameTheirLineAndColumn) {
    const std::string cave = Write("corridor.cave", CaveText("", Corridor));
    const std::pair<std::string, std::string> cases[] = {
        {"3 left\n2 right\n", ":2:1: frame 2 comes before the frame of the line above"},
        {"1\t jump\n", ":1:10: unknown event 'jump'"},
        {"# fine\n\nleft 1\n", ":3:1: expected '<frame> <event>'"},
        {"  -1 left\n", ":1:3: frame -1 is outside 0 to 2147483646"},
        {"2147483647 down\n", ":1:1: frame 2147483647 is outside 0 to 2147483646"},
        {"99999999999 down\n", ":1:1: frame 99999999999 is outside 0 to 2147483646"},
    };
    for (const auto& [text, error] : cases) {
        const std::string path = Write("bad.replay", text);
        EXPECT_NE(Run(FromFile(cave, path), 2).find(path + error), std::string::npos) << text;
    }
}

TEST_F(HeadlessTest, AByteOrderMarkAndCrlfLineEndsAreAccepted) {
    const std::string cave = Write("corridor.cave", "\xEF\xBB\xBF" + CaveText("need 3 value 5 time 50", Corridor));
    const std::string replay = Write("walk.replay", "\xEF\xBB\xBF" "36 right\r\n37 right\r\n37 right\r\n37 right\r\n"
                                                    "38 right\r\n38 right\r\n");
    EXPECT_EQ(Run(FromFile(cave, replay)), "frames 38 outcome exit cave 1 score 62 lives 3 jewels 3 time 46\n");
}

TEST_F(HeadlessTest, WhatIsNoTextFileIsRefusedWithoutEchoingItsBytes) {
    const std::string cave = Write("corridor.cave", CaveText("", Corridor));
    const std::string binary = Write("binary.replay", std::string("36 right\n37 r\0ght\n", 19));
    const std::string fifo = (folder / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::pair<std::string, std::string> cases[] = {
        {binary, binary + ":2:5: binary data (byte \\x00), not a text file"},
        {folder.string(), "cannot read " + folder.string() + ": it is a folder"},
        {"/dev/zero", "cannot read /dev/zero: it is not a plain file (a pipe, device or socket)"},
        // Refused at once: a pipe would wait for a writer.
        {fifo, "cannot read " + fifo + ": it is not a plain file (a pipe, device or socket)"},
    };
    for (const auto& [path, message] : cases) {
        EXPECT_EQ(Run(FromFile(cave, path), 2), "kelvoro: " + message + "\n");
        EXPECT_EQ(Run(FromFile(path), 2), "kelvoro: " + message + "\n");
    }
}

TEST(CaveFileTest, TheSettingsLineIsOptionalAndTakesAnySubsetInAnyOrder) {
    std::istringstream plain(CaveText("", Corridor));
    std::string error;
    const std::optional<CaveDefinition> cave = ParseCaveFile(plain, "plain", error);
    ASSERT_TRUE(cave) << error;
    EXPECT_EQ(cave->JewelsNeeded, 10);
    EXPECT_EQ(cave->JewelValue, 10);
    EXPECT_EQ(cave->ExtraJewelValue, 0);
    EXPECT_EQ(cave->CaveTime, 999);
    EXPECT_EQ(cave->EnchantedWallTime, 10);
    EXPECT_FALSE(cave->Bonus);
    EXPECT_EQ(cave->Rows[1], "9F2220X009999999999999999999999999999999");

    std::istringstream some(CaveText("bonus 1  time 23\twall 3", Corridor));
    const std::optional<CaveDefinition> bonus = ParseCaveFile(some, "some", error);
    ASSERT_TRUE(bonus) << error;
    EXPECT_TRUE(bonus->Bonus);
    EXPECT_EQ(bonus->CaveTime, 23);
    EXPECT_EQ(bonus->EnchantedWallTime, 3);
    EXPECT_EQ(bonus->LevelNumber, 0);
}

}  // namespace
