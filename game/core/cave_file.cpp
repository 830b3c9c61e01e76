#include "core/cave_file.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <utility>

#include "common/parse.h"
#include "core/grid.h"

namespace {

constexpr std::string_view CaveAlphabet = "0123456789FXZ";

struct Fault {
    int line;
    int column;
    std::string what;
};

// A number of the settings line, with the values the rules make sense of: a clock needs
// a second to count down, a wall of 0 stays awake for the whole cave, and the status
// line shows three digits.
struct Setting {
    std::string_view name;
    int value;
    int low;
    int high;
    bool given = false;  // once only: a second value would silently win over the first
};

using Settings = std::array<Setting, 6>;

Setting* Named(Settings& settings, std::string_view name) {
    for (Setting& setting : settings)
        if (setting.name == name) return &setting;
    return nullptr;
}

// The numbers line: "need X value V ..." with known names, each followed by a whole number.
std::optional<Fault> ParseNumbers(const std::string& text, int line, Settings& settings) {
    const std::vector<Word> words = SplitWords(text);
    for (size_t i = 0; i < words.size(); i += 2) {
        const Word& name = words[i];
        Setting* setting = Named(settings, name.text);
        if (!setting) return Fault{line, name.column, "unknown setting " + Quoted(name.text)};
        if (std::exchange(setting->given, true))
            return Fault{line, name.column, "setting '" + name.text + "' is given twice"};
        if (i + 1 == words.size() || !IsDecimal(words[i + 1].text))
            return Fault{line, name.column, "setting '" + name.text + "' needs a whole number"};
        const Word& number = words[i + 1];
        if (!ParseWholeNumber(number.text, setting->value, setting->low, setting->high))
            return Fault{line, number.column, name.text + " " + number.text + " is outside " +
                                                  std::to_string(setting->low) + " to " + std::to_string(setting->high)};
    }
    return std::nullopt;
}

bool OnBorder(int x, int y) { return x == 1 || x == CaveWidth || y == 1 || y == CaveHeight; }

std::optional<Fault> CheckRow(const std::string& row, int line, int y, int& players, int& exits) {
    for (size_t i = 0; i < row.size() && i < static_cast<size_t>(CaveWidth); ++i) {
        const char c = row[i];
        const int x = static_cast<int>(i) + 1;
        if (CaveAlphabet.find(c) == std::string_view::npos)
            return Fault{line, x, Quoted(std::string_view(&c, 1)) + " is not a cave cell"};
        // Steel all round keeps every object inside the cave; only the exit may sit in
        // the left or right edge.
        const bool exitInSide = c == 'X' && (x == 1 || x == CaveWidth) && y > 1 && y < CaveHeight;
        if (OnBorder(x, y) && c != '9' && !exitInSide) return Fault{line, x, "the edge of the cave must be steel (9)"};
        if (c == 'F' && ++players > 1) return Fault{line, x, "a second player start F"};
        if (c == 'X' && ++exits > 1) return Fault{line, x, "a second exit X"};
    }
    if (row.size() != static_cast<size_t>(CaveWidth))
        return Fault{line, static_cast<int>(row.size()) + 1, "a row needs exactly 40 cells"};
    return std::nullopt;
}

int16_t ValueOf(Settings& settings, std::string_view name) { return static_cast<int16_t>(Named(settings, name)->value); }

}  // namespace

std::optional<CaveDefinition> ParseCaveFile(std::istream& in, const std::string& name, std::string& error) {
    Settings settings{{{"need", 10, 0, 999},
                       {"value", 10, 0, 999},
                       {"extra", 0, 0, 999},
                       {"time", 999, 1, 999},
                       {"wall", 10, 0, 999},
                       {"bonus", 0, 0, 1}}};
    CaveDefinition cave{};
    int rows = 0;
    int players = 0;
    int exits = 0;
    int line = 0;
    std::string text;
    auto fail = [&](const Fault& fault) {
        error = Where(name, fault.line, fault.column) + fault.what;
        return std::nullopt;
    };
    while (std::getline(in, text)) {
        ++line;
        if (text.empty() || text[0] == '#') continue;
        if (rows == 0 && (text[0] < '0' || text[0] > '9') && text[0] != 'F' && text[0] != 'X' && text[0] != 'Z') {
            if (auto fault = ParseNumbers(text, line, settings)) return fail(*fault);
            continue;
        }
        if (rows == CaveHeight) return fail({line, 1, "more than 25 rows"});
        if (auto fault = CheckRow(text, line, rows + 1, players, exits)) return fail(*fault);
        cave.Rows[static_cast<size_t>(rows++)] = text;
    }
    if (rows < CaveHeight) return fail({line + 1, 1, "the cave needs 25 rows, found " + std::to_string(rows)});
    if (players == 0) return fail({line, 1, "no player start F"});
    if (exits == 0) return fail({line, 1, "no exit X"});

    cave.Description = name;
    cave.Bonus = ValueOf(settings, "bonus") != 0;
    cave.LevelNumber = cave.Bonus ? 0 : 1;
    cave.JewelsNeeded = ValueOf(settings, "need");
    cave.JewelValue = ValueOf(settings, "value");
    cave.ExtraJewelValue = ValueOf(settings, "extra");
    cave.CaveTime = ValueOf(settings, "time");
    cave.EnchantedWallTime = ValueOf(settings, "wall");
    return cave;
}

std::string CaveFingerprint(const CaveDefinition& cave) {
    std::string content = std::to_string(cave.JewelsNeeded) + " " + std::to_string(cave.JewelValue) + " " +
                          std::to_string(cave.ExtraJewelValue) + " " + std::to_string(cave.CaveTime) + " " +
                          std::to_string(cave.EnchantedWallTime) + " " + (cave.Bonus ? "1" : "0") + "\n";
    for (const std::string& row : cave.Rows) content += row + "\n";
    // FNV-1a: small, and the same on every machine and in every build.
    uint64_t hash = 0xcbf29ce484222325u;
    for (const char c : content) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}
