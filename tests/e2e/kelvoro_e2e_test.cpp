// The real kelvoro in a real window under a virtual X server: screenshots of the title
// and of a replayed cave, checked pixel by pixel against the game's own pictures.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string Output(const std::string& command) {
    std::string text;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return text;
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
    pclose(pipe);
    return text;
}

// An ARGB copy of a BMP file, freed with the object.
struct Bitmap {
    SDL_Surface* surface = nullptr;
    explicit Bitmap(const std::string& path) {
        if (SDL_Surface* loaded = SDL_LoadBMP(path.c_str())) {
            surface = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0);
            SDL_FreeSurface(loaded);
        }
    }
    ~Bitmap() { SDL_FreeSurface(surface); }
    uint32_t At(int x, int y) const { return static_cast<const uint32_t*>(surface->pixels)[y * surface->pitch / 4 + x] & 0xFFFFFF; }
};

class KelvoroOnScreenTest : public ::testing::Test {
protected:
    fs::path folder = fs::temp_directory_path() / ("kelvoro-e2e-" + std::to_string(::getpid()));

    void SetUp() override {
        if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    // Runs kelvoro in a window on a fresh virtual X server and returns its exit status.
    int RunOnScreen(const std::string& arguments) {
        const std::string command = "SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 1024x768x24' " +
                                    std::string(KELVORO) + " --windowed " + arguments + " > " +
                                    (folder / "log.txt").string() + " 2>&1";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Log() const {
        std::ifstream in(folder / "log.txt");
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(KelvoroOnScreenTest, TheTitleScreenShowsItsPicture) {
    const std::string shot = (folder / "title.bmp").string();
    ASSERT_EQ(RunOnScreen("--frames 3 --screenshot " + shot), 0) << Log();
    const Bitmap screen(shot);
    const Bitmap title(std::string(ASSETS_DIR) + "/kv001.bmp");
    ASSERT_TRUE(screen.surface && title.surface);
    EXPECT_EQ(screen.surface->w, 800);
    EXPECT_EQ(screen.surface->h, 600);
    int differences = 0;
    for (int y = 0; y < 300; y += 7)
        for (int x = 0; x < 640; x += 7) differences += screen.At(80 + x, 10 + y) != title.At(x, y);
    EXPECT_EQ(differences, 0);
    EXPECT_EQ(screen.At(40, 300), 0u);
}

// Cave 1 replayed with its clock ticks listed, so that the window and the headless run
// see the same frames; the picture of frame F shows the cave as it stood after frame F - 1.
TEST_F(KelvoroOnScreenTest, AReplayedCaveShowsEveryCellWithItsPicture) {
    constexpr int Frame = 45;
    std::ifstream solution(std::string(SOLUTIONS_DIR) + "/cave01.replay");
    std::ofstream replay(folder / "ticked.replay");
    std::map<int, std::vector<std::string>> events;
    for (std::string line; std::getline(solution, line);)
        if (!line.empty() && line[0] != '#') {
            std::istringstream words(line);
            int frame = 0;
            std::string event;
            words >> frame >> event;
            events[frame].push_back(event);
        }
    for (int frame = 0; frame <= Frame; ++frame) {
        for (const std::string& event : events[frame]) replay << frame << " " << event << "\n";
        if (frame > 0 && frame % 9 == 0) replay << frame << " tick\n";
    }
    replay.close();

    const std::string replayPath = (folder / "ticked.replay").string();
    const std::string grid =
        Output(std::string(KELVORO) + " --headless --cave 1 --replay " + replayPath + " --frames " + std::to_string(Frame - 1) + " --print-grid");
    const std::string shot = (folder / "cave.bmp").string();
    ASSERT_EQ(RunOnScreen("--cave 1 --replay " + replayPath + " --frames " + std::to_string(Frame) + " --screenshot " + shot), 0) << Log();

    const std::map<char, std::string> stills{{'0', "empty.bmp"}, {'1', "earth.bmp"}, {'3', "boulder.bmp"},
                                             {'B', "boulder.bmp"}, {'8', "brick.bmp"}, {'9', "steel.bmp"}};
    const Bitmap screen(shot);
    ASSERT_TRUE(screen.surface);
    std::istringstream rows(grid);
    std::string row;
    int checked = 0;
    int wrong = 0;
    // The view has not scrolled yet: columns 1 to 23 and rows 1 to 16 show whole.
    for (int y = 1; y <= 16 && std::getline(rows, row); ++y)
        for (int x = 1; x <= 23; ++x) {
            const auto still = stills.find(row[static_cast<size_t>(x - 1)]);
            if (still == stills.end()) continue;
            const Bitmap tile(std::string(ASSETS_DIR) + "/" + still->second);
            for (int py = 0; py < 32; py += 3)
                for (int px = 0; px < 32; px += 3) wrong += screen.At(32 * x + px, 32 * y + py) != tile.At(px, py);
            ++checked;
        }
    EXPECT_GT(checked, 250);
    EXPECT_EQ(wrong, 0);
}

}  // namespace
