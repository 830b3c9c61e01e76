// The kelvoro command line.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "play/caves.h"

namespace {

constexpr std::string_view Usage =
    "usage: kelvoro [--help] [--print-cave N]\n"
    "\n"
    "  --print-cave N   print cave N (1 to 30): its numbers, its description and its 25 rows\n"
    "  --help           show this text\n";

int Fail(const std::string& message) {
    std::cerr << "kelvoro: " << message << "\n";
    return 2;
}

bool ParseNumber(std::string_view text, int& number) {
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    return error == std::errc{} && stop == end && !text.empty();
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
    if (argc < 2) return Fail("no option given (try --help)");
    const std::string_view option = argv[1];
    if (option == "--help") {
        std::cout << Usage;
        return 0;
    }
    if (option == "--print-cave") {
        int number = 0;
        if (argc != 3 || !ParseNumber(argv[2], number) || number < 1 || number > CaveCount)
            return Fail("--print-cave takes a cave number from 1 to 30");
        PrintCave(number);
        return 0;
    }
    return Fail("unknown option " + std::string(option));
}
