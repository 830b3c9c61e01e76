// The kelvoro command line.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "common/high_score.h"
#include "common/parse.h"
#include "core/cave_file.h"
#include "core/caves.h"
#include "core/state.h"
#include "platform/assets.h"
#include "platform/display_sdl.h"
#include "platform/sound.h"
#include "platform/sound_sdl.h"
#include "shell/headless.h"
#include "shell/keys.h"
#include "shell/main.h"
#include "shell/replay.h"
#include "shell/scores.h"

namespace {

constexpr std::string_view Usage =
    "usage: kelvoro [--windowed] [--pixel-perfect] [--mute] [--cave N | --cave-file PATH] [--replay PATH] [--record PATH]\n"
    "               [--start-level L] [--frames F --screenshot PATH]\n"
    "       kelvoro --print-cave N | --help | --version\n"
    "       kelvoro --headless (--cave N | --cave-file PATH) [--replay PATH] [--frames F] [--continue]\n"
    "               [--start-level L] [--print-grid]\n"
    "\n"
    "Without --headless the game runs on screen, full screen unless --windowed; with --cave or\n"
    "--cave-file it starts a new game at once instead of showing the title. Its keys can be\n"
    "changed in $XDG_CONFIG_HOME/kelvoro/keys.conf (see kelvoro(6)).\n"
    "\n"
    "  --windowed        run in an 800 x 600 window (F11 or Alt+Enter switch at any time)\n"
    "  --pixel-perfect   scale the picture by whole factors only, with black borders, instead\n"
    "                    of sharply to the largest size that fits (F10 switches at any time)\n"
    "  --mute            start without sound (m turns it on and off during play)\n"
    "  --record PATH     record the game played, from the first new game on, as a replay\n"
    "                    (with its clock ticks) that --headless plays to the same end\n"
    "  --screenshot PATH with --frames F (1 or more): write the picture after frame F, as the\n"
    "                    window shows it, to a BMP file and end\n"
    "  --print-cave N    print cave N (1 to 30): its numbers, its description and its 25 rows\n"
    "  --headless        play without a window or sound, a frame every 120 ms of virtual time,\n"
    "                    and print 'frames F outcome O cave C score S lives L jewels J time T'\n"
    "                    (for an exit, J and T are the jewels and the time left in the cave\n"
    "                    whose exit was entered)\n"
    "  --cave N          start a new game at cave N\n"
    "  --cave-file PATH  start a new game at a cave of one's own: '#' comments, an optional line\n"
    "                    'need X value V extra E time T wall W bonus B', then 25 rows of 40 cells\n"
    "                    (0-9, F, X, Z) with one F, one X and steel (9) all round\n"
    "  --replay PATH     keys to play: lines '<frame> <event>', events left right up down esc\n"
    "                    enter space l tick (on screen: played in real time)\n"
    "  --start-level L   the title's start level, 1, 5, 9, 13, 17 or 21 (by default 1), where\n"
    "                    a new game after Esc begins; a recording names the one it had\n"
    "  --frames F        frames to run (headless default: the replay's last frame plus one)\n"
    "  --continue        go on into the following caves after an exit, with an outcome line\n"
    "                    for each exit, instead of stopping at the first\n"
    "  --print-grid      print the 25 rows of the grid before the outcome line\n"
    "  --help            show this text\n"
    "  --version         show the game's version\n";

int Fail(const std::string& message) {
    std::cerr << "kelvoro: " << message << "\n";
    return 2;
}

void PrintCave(int number) {
    const CaveDefinition& cave = CaveTable[static_cast<size_t>(number - 1)];
    std::cout << "cave " << number << " level " << cave.LevelNumber << " bonus " << (cave.Bonus ? 1 : 0) << " need "
              << cave.JewelsNeeded << " value " << cave.JewelValue << " extra " << cave.ExtraJewelValue << " time "
              << cave.CaveTime << " wall " << cave.EnchantedWallTime << "\n"
              << cave.Description << "\n";
    for (const std::string& row : cave.Rows) std::cout << row << "\n";
}

// Why a file cannot be written at path, found before the game rather than after it.
std::optional<std::string> WriteProblem(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    if (fs::is_directory(path, ignored)) return "it is a folder";
    const std::string folder = fs::path(path).has_parent_path() ? fs::path(path).parent_path().string() : ".";
    if (!fs::is_directory(folder, ignored)) return "there is no folder " + folder;
    if (::access(fs::exists(path, ignored) ? path.c_str() : folder.c_str(), W_OK) != 0) return std::strerror(errno);
    return std::nullopt;
}

struct ScreenRun {
    ScreenOptions screen;
    std::string record;
    std::string screenshot;
    bool mute = false;
};

// The scores of earlier games, into which this run's games go too: the built-in caves'
// table, or a table of the cave file's own.
void ReadScores(GameRun& run, const std::optional<CaveDefinition>& cave) {
    const std::string folder = ScoresFolder();
    if (folder.empty()) return;
    KeepScoresIn(ScoresPath(folder, cave ? CaveFingerprint(*cave) : ""));
    run.keepScores = true;
}

// The player's keys, if keys.conf gives any; its faults are told, and the keys it gives
// in the lines without one are used.
void ReadKeysFile() {
    const std::string path = KeysFilePath();
    std::error_code ignored;
    if (path.empty() || !std::filesystem::exists(path, ignored)) return;
    std::string error;
    const std::optional<std::string> text = ReadTextFile(path, error);
    if (!text) {
        std::cerr << "kelvoro: " << error << "\n";
        return;
    }
    const auto sdlName = [](const std::string& name) -> std::string {
        const SDL_Keycode key = SDL_GetKeyFromName(name.c_str());
        return key == SDLK_UNKNOWN ? "" : SDL_GetKeyName(key);
    };
    for (const std::string& fault : UseKeysFile(*text, path, sdlName)) std::cerr << "kelvoro: " << fault << "\n";
}

// MissingDisplay, with standard error shut meanwhile: libraries SDL tries on the way
// (Wayland's client, for one) write complaints of their own, which the one line the
// player gets says better.
std::optional<std::string> MissingDisplayQuietly() {
    std::fflush(stderr);
    const int kept = dup(STDERR_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    if (kept >= 0 && null >= 0) dup2(null, STDERR_FILENO);
    if (null >= 0) close(null);
    std::optional<std::string> missing = MissingDisplay();
    std::fflush(stderr);
    if (kept >= 0) {
        dup2(kept, STDERR_FILENO);
        close(kept);
    }
    return missing;
}

// Main on the SDL screen and sound, which close when it ends.
int PlayOnScreen(GameRun& run, const ScreenRun& screenRun, int16_t startCave, int16_t startLevel) {
    SdlScreen screen(screenRun.screen);
    SdlSound sound;
    UseDisplayDevice(&screen);
    UseSoundDevice(&sound);
    const int status = Main(run, startCave, startLevel);
    UseSoundDevice(nullptr);
    UseDisplayDevice(nullptr);
    return status;
}

// The game on screen: start-up, the title (or a new game at once), the main loop.
int RunOnScreen(const HeadlessOptions& options, const ScreenRun& screenRun) {
    std::string error;
    const std::optional<RunInputs> inputs = ReadRunInputs(options, error);
    if (!inputs) return Fail(error);
    // Without a display there is no game: said in one line, before anything is read or kept.
    if (const std::optional<std::string> missing = MissingDisplayQuietly()) {
        std::cerr << "kelvoro: no display to show the game on: " << *missing << "\n";
        return 1;
    }
    if (inputs->cave) UseCustomCave(&*inputs->cave);
    Recording recording;
    recording.caveFile = options.caveFile;
    GameRun run;
    run.replay = inputs->replay ? &*inputs->replay : nullptr;
    run.recording = screenRun.record.empty() ? nullptr : &recording;
    run.frames = options.frames;
    run.screenshot = screenRun.screenshot;
    // A replay or a screenshot run shows a game, and keeps no score of it.
    if (!run.replay && run.screenshot.empty()) ReadScores(run, inputs->cave);
    SetSoundMuted(screenRun.mute);
    ReadKeysFile();

    const int16_t startCave = inputs->cave ? int16_t{1} : static_cast<int16_t>(options.cave);
    const int status = PlayOnScreen(run, screenRun, startCave, static_cast<int16_t>(options.startLevel));
    // The display MissingDisplay found and left open, now that the screen is closed.
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    if (run.recording && !SaveRecording(recording, screenRun.record, error)) {
        std::cerr << "kelvoro: " << error << "\n";
        return 1;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const auto asked = std::find_if(args.begin(), args.end(),
                                    [](std::string_view arg) { return arg == "--help" || arg == "--version"; });
    if (asked != args.end() && *asked == "--help") {
        std::cout << Usage;
        return 0;
    }
    if (asked != args.end()) {
        std::cout << "kelvoro " << KELVORO_VERSION << "\n";
        return 0;
    }

    int printCave = 0;
    bool headless = false;
    HeadlessOptions options;
    ScreenRun screenRun;
    std::set<std::string_view> given;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view option = args[i];
        const bool hasValue = i + 1 < args.size();
        if (!given.insert(option).second)
            return Fail(std::string(option) + " is given twice");
        if (option == "--headless") {
            headless = true;
        } else if (option == "--print-grid") {
            options.printGrid = true;
        } else if (option == "--continue") {
            options.continueGame = true;
        } else if (option == "--print-cave" || option == "--cave") {
            int& number = option == "--cave" ? options.cave : printCave;
            if (!hasValue || !ParseWholeNumber(args[++i], number, 1, CaveCount))
                return Fail(std::string(option) + " takes a cave number from 1 to 30");
        } else if (option == "--start-level") {
            int& level = options.startLevel;
            if (!hasValue || !ParseWholeNumber(args[++i], level, 1, 21) || (level - 1) % 4 != 0)
                return Fail("--start-level takes a start level: 1, 5, 9, 13, 17 or 21");
        } else if (option == "--frames") {
            if (!hasValue || !ParseWholeNumber(args[++i], options.frames, 0, MostFrames))
                return Fail("--frames takes a number of frames from 0 to " + std::to_string(MostFrames));
        } else if (option == "--cave-file" || option == "--replay" || option == "--record" ||
                   option == "--screenshot") {
            if (!hasValue) return Fail(std::string(option) + " takes a file name");
            std::string& path = option == "--cave-file" ? options.caveFile
                                : option == "--replay"  ? options.replay
                                : option == "--record"  ? screenRun.record
                                                        : screenRun.screenshot;
            path = args[++i];
        } else if (option == "--windowed") {
            screenRun.screen.windowed = true;
        } else if (option == "--pixel-perfect") {
            screenRun.screen.pixelPerfect = true;
        } else if (option == "--mute") {
            screenRun.mute = true;
        } else {
            return Fail("unknown option " + std::string(option));
        }
    }

    if (printCave != 0) {
        if (args.size() != 2) return Fail("--print-cave takes no other option");
        PrintCave(printCave);
        return 0;
    }
    if (options.cave != 0 && !options.caveFile.empty()) return Fail("--cave and --cave-file go one at a time");
    if (headless) {
        if (options.cave == 0 && options.caveFile.empty()) return Fail("--headless needs --cave N or --cave-file PATH");
        if (!screenRun.record.empty() || !screenRun.screenshot.empty() || screenRun.screen.windowed ||
            screenRun.screen.pixelPerfect || screenRun.mute)
            return Fail("--record, --screenshot, --windowed, --pixel-perfect and --mute go with the game on screen");
        return RunHeadless(options, std::cout, std::cerr);
    }
    if (options.continueGame || options.printGrid) return Fail("--continue and --print-grid go with --headless");
    if ((options.frames >= 0) != !screenRun.screenshot.empty())
        return Fail("on screen, --frames and --screenshot go together");
    if (options.frames == 0) return Fail("--screenshot takes the picture after a frame: --frames must be 1 or more");
    for (const std::string* path : {&screenRun.record, &screenRun.screenshot}) {
        const std::optional<std::string> problem = path->empty() ? std::nullopt : WriteProblem(*path);
        if (problem) return Fail("cannot write " + *path + ": " + *problem);
    }
    ProgramFolder = RunningProgramFolder();
    return RunOnScreen(options, screenRun);
}
