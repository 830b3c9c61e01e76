#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/high_score.h"

namespace {

namespace fs = std::filesystem;

// Sets or unsets an environment variable for one test and puts it back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class HighScoreTest : public ::testing::Test {
protected:
    fs::path folder;

    void SetUp() override {
        folder = fs::temp_directory_path() /
                 ("kelvoro-highscore-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
};

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

ScoreEntry Entry(int32_t score, const std::string& name = "nuvo") { return {score, 3, "2026-05-01", name}; }

std::vector<int32_t> ScoresOf(const ScoreTable& table) {
    std::vector<int32_t> scores;
    for (const ScoreEntry& entry : table) scores.push_back(entry.score);
    return scores;
}

// Two games entering their scores at the same time both count, and the table stays in order.
TEST_F(HighScoreTest, TwoWritersAtOnceKeepEveryScoreInOrder) {
    const std::string path = ScoresPath((folder / "state").string());
    auto enter = [&path](int32_t first) {
        for (int32_t score = first; score <= 10; score += 2) {
            ScoreTable table;
            std::string error;
            EXPECT_GT(EnterScore(path, Entry(score * 100), table, error), 0) << error;
        }
    };
    { std::jthread odd(enter, 1), even(enter, 2); }
    std::string warning;
    EXPECT_EQ(ScoresOf(LoadScores(path, warning)),
              (std::vector<int32_t>{1000, 900, 800, 700, 600, 500, 400, 300, 200, 100}));
    EXPECT_EQ(warning, "");
    ScoreTable table;
    std::string error;
    EXPECT_EQ(EnterScore(path, Entry(50), table, error), 0);  // too low for the best ten
    EXPECT_EQ(EnterScore(path, Entry(500, "later"), table, error), 7);  // after the equal score
    EXPECT_EQ(table[6].name, "later");
    EXPECT_EQ(ScoresOf(table).back(), 200);
}

TEST_F(HighScoreTest, TheOldHighScoreIsCarriedOverOnce) {
    Write("highscore", "4321\n");
    const std::string path = (folder / "scores").string();
    std::string warning;
    EXPECT_EQ(ScoresOf(LoadScores(path, warning)), std::vector<int32_t>{4321});
    Write("highscore", "99\n");
    EXPECT_EQ(ScoresOf(LoadScores(path, warning)), std::vector<int32_t>{4321});
    // A cave file's table starts empty.
    EXPECT_TRUE(LoadScores(ScoresPath(folder.string(), "0123456789abcdef"), warning).empty());
}

TEST_F(HighScoreTest, LinesThatAreNoEntryAreLeftOutWithAOneLineWarning) {
    const std::string path = Write("scores", "# comment\n700 3 2026-05-01 ada\n12 x 2026-05-01 bob\n5 1 May cy\n"
                                             "9 1 2026-05-01 \n1000000000 1 2026-05-01 big\n800 30 2026-05-02 two words\n");
    std::string warning;
    const ScoreTable table = LoadScores(path, warning);
    EXPECT_EQ(ScoresOf(table), (std::vector<int32_t>{800, 700}));
    EXPECT_EQ(table[0].name, "two words");
    EXPECT_EQ(warning, "ignoring part of the scores in " + path + ": line 3 is not '<score> <cave> <date> <name>'");
    EXPECT_TRUE(LoadScores(folder.string(), warning).empty());
    EXPECT_EQ(warning, "ignoring the scores in " + folder.string() + ": it is a folder");
}

TEST_F(HighScoreTest, WritingMakesTheMissingFoldersForTheOwnerOnlyAndLeavesNoTemporaryFile) {
    const fs::path state = folder / "state";
    ScoreTable table;
    std::string error;
    ASSERT_EQ(EnterScore(ScoresPath((state / "kelvoro").string()), Entry(50), table, error), 1) << error;
    for (const fs::path& made : {state, state / "kelvoro"}) {
        struct stat info {};
        ASSERT_EQ(::stat(made.c_str(), &info), 0) << made;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << made;
    }
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(state / "kelvoro")) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"scores", "scores.lock"}));
}

TEST_F(HighScoreTest, WritingIntoAFolderThatIsAFileFails) {
    const std::string file = Write("plain", "not a folder");
    ScoreTable table;
    std::string error;
    EXPECT_EQ(EnterScore(file + "/kelvoro/scores", Entry(10), table, error), -1);
    EXPECT_EQ(error, "cannot keep the scores in " + file + "/kelvoro/scores: " + file + " is not a folder");
    EXPECT_EQ(ReadAll(file), "not a folder");
}

TEST(ScoresFolderTest, LivesInXdgStateHome) {
    ScopedEnv state("XDG_STATE_HOME", "/tmp/state");
    ScopedEnv home("HOME", "/home/player");
    EXPECT_EQ(ScoresFolder(), "/tmp/state/kelvoro");
}

TEST(ScoresFolderTest, FallsBackToHomeWhenXdgStateHomeIsUnsetEmptyOrRelative) {
    ScopedEnv home("HOME", "/home/player");
    for (const char* value : {static_cast<const char*>(nullptr), "", "state"}) {
        ScopedEnv state("XDG_STATE_HOME", value);
        EXPECT_EQ(ScoresFolder(), "/home/player/.local/state/kelvoro") << (value ? value : "unset");
    }
}

TEST(ScoresFolderTest, WithoutAHomeNothingIsKept) {
    ScopedEnv state("XDG_STATE_HOME", nullptr);
    ScopedEnv home("HOME", nullptr);
    EXPECT_EQ(ScoresFolder(), "");
}

}  // namespace
