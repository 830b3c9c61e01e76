#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
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

TEST_F(HighScoreTest, ASavedScoreLoadsBack) {
    const std::string path = (folder / "highscore").string();
    std::string error;
    ASSERT_TRUE(SaveHighScore(path, 1234, error)) << error;
    ASSERT_TRUE(SaveHighScore(path, 999999999, error)) << error;  // replaces the first
    EXPECT_EQ(ReadAll(path), "999999999\n");
    std::string warning = "stale";
    EXPECT_EQ(LoadHighScore(path, warning), 999999999);
    EXPECT_EQ(warning, "");
}

TEST_F(HighScoreTest, SavingLeavesNoTemporaryFileBehind) {
    std::string error;
    ASSERT_TRUE(SaveHighScore((folder / "highscore").string(), 7, error)) << error;
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"highscore"});
}

TEST_F(HighScoreTest, SavingMakesTheMissingFoldersForTheOwnerOnly) {
    const fs::path state = folder / "state";
    std::string error;
    ASSERT_TRUE(SaveHighScore((state / "kelvoro" / "highscore").string(), 50, error)) << error;
    for (const fs::path& made : {state, state / "kelvoro"}) {
        struct stat info {};
        ASSERT_EQ(::stat(made.c_str(), &info), 0) << made;
        EXPECT_EQ(info.st_mode & 0777, 0700u) << made;
    }
}

TEST_F(HighScoreTest, AMissingFileIsZeroWithoutAWarning) {
    std::string warning = "stale";
    EXPECT_EQ(LoadHighScore((folder / "none" / "highscore").string(), warning), 0);
    EXPECT_EQ(warning, "");
}

TEST_F(HighScoreTest, ADamagedFileIsZeroWithAOneLineWarningNamingIt) {
    const std::string damaged[] = {
        "",     "abc\n", "12 3\n", "-5\n", "+5\n", " 5\n", "5\n\n", "5\r\n", "1000000000\n",
        std::string("1\0", 2), "\x7f" "ELF\x02\x01", std::string(100000, '1'),
    };
    for (const std::string& bytes : damaged) {
        const std::string path = Write("highscore", bytes);
        std::string warning;
        EXPECT_EQ(LoadHighScore(path, warning), 0) << bytes.substr(0, 20);
        EXPECT_NE(warning.find(path), std::string::npos) << warning;
        EXPECT_EQ(warning.find('\n'), std::string::npos) << warning;
    }
    std::string warning;
    EXPECT_EQ(LoadHighScore(folder.string(), warning), 0);
    EXPECT_EQ(warning, "ignoring the high score in " + folder.string() + ": it is a folder");
}

TEST_F(HighScoreTest, SavingIntoAFolderThatIsAFileFails) {
    const std::string file = Write("plain", "not a folder");
    std::string error;
    EXPECT_FALSE(SaveHighScore(file + "/kelvoro/highscore", 10, error));
    EXPECT_EQ(error, "cannot keep the high score in " + file + "/kelvoro/highscore: " + file + " is not a folder");
    EXPECT_EQ(ReadAll(file), "not a folder");
}

TEST(HighScorePathTest, LivesInXdgStateHome) {
    ScopedEnv state("XDG_STATE_HOME", "/tmp/state");
    ScopedEnv home("HOME", "/home/player");
    EXPECT_EQ(HighScorePath(), "/tmp/state/kelvoro/highscore");
}

TEST(HighScorePathTest, FallsBackToHomeWhenXdgStateHomeIsUnsetEmptyOrRelative) {
    ScopedEnv home("HOME", "/home/player");
    for (const char* value : {static_cast<const char*>(nullptr), "", "state"}) {
        ScopedEnv state("XDG_STATE_HOME", value);
        EXPECT_EQ(HighScorePath(), "/home/player/.local/state/kelvoro/highscore") << (value ? value : "unset");
    }
}

TEST(HighScorePathTest, WithoutAHomeNothingIsKept) {
    ScopedEnv state("XDG_STATE_HOME", nullptr);
    ScopedEnv home("HOME", nullptr);
    EXPECT_EQ(HighScorePath(), "");
}

}  // namespace
