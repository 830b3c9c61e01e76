// The kelvoro command line.
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "play/caves.h"
#include "shell/headless.h"
#include "shell/parse.h"

namespace {

constexpr std::string_view Usage =
    "usage: kelvoro --print-cave N\n"
    "       kelvoro --headless (--cave N | --cave-file PATH) [--replay PATH] [--frames F] [--continue]\n"
    "               [--print-grid]\n"
    "\n"
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
    "                    enter space l tick\n"
    "  --frames F        frames to run (default: the replay's last frame plus one)\n"
    "  --continue        go on into the following caves after an exit, with an outcome line\n"
    "                    for each exit, instead of stopping at the first\n"
    "  --print-grid      print the 25 rows of the grid before the outcome line\n"
    "  --help            show this text\n";

int Fail(const std::string& message) {
    std::cerr << "kelvoro: " << message << "\n";
    return 2;
}

void PrintCave(int number) {
    const CaveDefinition& cave = CaveTable[static_cast<size_t>(number - 1)];
    std::cout << "cave " << number << " level " << cave.LevelNumber << " bonus " << (cave.bonus ? 1 : 0) << " need "
              << cave.JewelsNeeded << " value " << cave.JewelValue << " extra " << cave.ExtraJewelValue << " time "
              << cave.CaveTime << " wall " << cave.EnchantedWallTime << "\n"
              << cave.description << "\n";
    for (std::string_view row : cave.rows) std::cout << row << "\n";
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) return Fail("no option given (try --help)");
    if (args[0] == "--help") {
        std::cout << Usage;
        return 0;
    }

    int printCave = 0;
    bool headless = false;
    HeadlessOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view option = args[i];
        const bool hasValue = i + 1 < args.size();
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
        } else if (option == "--frames") {
            if (!hasValue || !ParseWholeNumber(args[++i], options.frames, 0, 1 << 30))
                return Fail("--frames takes a number of frames");
        } else if (option == "--cave-file" || option == "--replay") {
            if (!hasValue) return Fail(std::string(option) + " takes a file name");
            (option == "--cave-file" ? options.caveFile : options.replay) = args[++i];
        } else {
            return Fail("unknown option " + std::string(option));
        }
    }

    if (printCave != 0) {
        if (args.size() != 2) return Fail("--print-cave takes no other option");
        PrintCave(printCave);
        return 0;
    }
    if (!headless) return Fail("--cave, --cave-file, --replay, --frames and --continue go with --headless");
    if ((options.cave != 0) == !options.caveFile.empty()) return Fail("--headless needs --cave N or --cave-file PATH");
    return RunHeadless(options, std::cout, std::cerr);
}
