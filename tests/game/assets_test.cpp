#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/assets.h"

namespace {

namespace fs = std::filesystem;

// A program folder `bin` and an installed data folder `share/kelvoro` beside it.
class DataFolderTest : public ::testing::Test {
protected:
    fs::path top = fs::temp_directory_path() / ("kelvoro-data-" + std::to_string(::getpid()));
    fs::path bin = top / "bin";
    fs::path installed = top / "share" / "kelvoro";

    void SetUp() override { fs::create_directories(bin); }
    void TearDown() override { fs::remove_all(top); }
};

TEST_F(DataFolderTest, AProgramFolderHoldingAnyGameFileIsTheGamesFolder) {
    fs::create_directories(installed);
    for (const char* name : {"/kvtheme.wav", "/kv001.bmp"}) {
        std::ofstream(bin.string() + name);
        EXPECT_EQ(DataFolderFor(bin.string()), bin.string()) << name;
        fs::remove(bin.string() + name);
    }
}

TEST_F(DataFolderTest, AnInstalledProgramReadsFromShareKelvoro) {
    fs::create_directories(installed);
    std::ofstream(bin / "kelvoro");
    EXPECT_EQ(DataFolderFor(bin.string()), installed.string());
}

// Without either, the missing files are reported where a build would have put them.
TEST_F(DataFolderTest, WithNeitherTheProgramFolderStays) {
    EXPECT_EQ(DataFolderFor(bin.string()), bin.string());
}

}  // namespace
