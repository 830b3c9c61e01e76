#include "play/cave_file.h"

#include <map>
#include <string_view>

#include "cave/grid.h"
#include "shell/parse.h"

namespace {

constexpr std::string_view CaveAlphabet = "0123456789FXZ";

struct Fault {
    int line;
    int column;
    std::string what;
};

std::string Describe(const std::string& name, const Fault& fault) {
    return name + ":" + std::to_string(fault.line) + ":" + std::to_string(fault.column) + ": " + fault.what;
}

// The numbers line: "need X value V ..." with known names, each followed by a whole number.
std::optional<Fault> ParseNumbers(const std::string& text, int line, std::map<std::string, int>& numbers) {
    const std::vector<Word> words = SplitWords(text);
    for (size_t i = 0; i < words.size(); i += 2) {
        const Word& name = words[i];
        if (!numbers.count(name.text)) return Fault{line, name.column, "unknown setting '" + name.text + "'"};
        if (i + 1 == words.size() || !ParseWholeNumber(words[i + 1].text, numbers[name.text], -32768, 32767))
            return Fault{line, name.column, "setting '" + name.text + "' needs a whole number"};
    }
    return std::nullopt;
}

bool OnBorder(int x, int y) { return x == 1 || x == CaveWidth || y == 1 || y == CaveHeight; }

std::optional<Fault> CheckRow(const std::string& row, int line, int y, int& players, int& exits) {
    for (size_t i = 0; i < row.size() && i < static_cast<size_t>(CaveWidth); ++i) {
        const char c = row[i];
        const int x = static_cast<int>(i) + 1;
        if (CaveAlphabet.find(c) == std::string_view::npos)
            return Fault{line, x, std::string("'") + c + "' is not a cave cell"};
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

}  // namespace

void BindCaveFile(CaveFile& cave) {
    cave.definition.description = cave.description;
    for (size_t i = 0; i < cave.rows.size(); ++i) cave.definition.rows[i] = cave.rows[i];
}

std::optional<CaveFile> ParseCaveFile(std::istream& in, const std::string& name, std::string& error) {
    std::map<std::string, int> numbers{{"need", 10}, {"value", 10}, {"extra", 0},
                                       {"time", 999}, {"wall", 10}, {"bonus", 0}};
    CaveFile cave;
    int rows = 0;
    int players = 0;
    int exits = 0;
    int line = 0;
    std::string text;
    auto fail = [&](const Fault& fault) {
        error = Describe(name, fault);
        return std::nullopt;
    };
    while (std::getline(in, text)) {
        ++line;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        if (text.empty() || text[0] == '#') continue;
        if (rows == 0 && (text[0] < '0' || text[0] > '9') && text[0] != 'F' && text[0] != 'X' && text[0] != 'Z') {
            if (auto fault = ParseNumbers(text, line, numbers)) return fail(*fault);
            continue;
        }
        if (rows == CaveHeight) return fail({line, 1, "more than 25 rows"});
        if (auto fault = CheckRow(text, line, rows + 1, players, exits)) return fail(*fault);
        cave.rows[static_cast<size_t>(rows++)] = text;
    }
    if (rows < CaveHeight) return fail({line + 1, 1, "the cave needs 25 rows, found " + std::to_string(rows)});
    if (players == 0) return fail({line, 1, "no player start F"});
    if (exits == 0) return fail({line, 1, "no exit X"});

    const bool bonus = numbers["bonus"] != 0;
    cave.description = name;
    cave.definition = CaveDefinition{{},
                                     static_cast<int16_t>(bonus ? 0 : 1),
                                     bonus,
                                     static_cast<int16_t>(numbers["need"]),
                                     static_cast<int16_t>(numbers["value"]),
                                     static_cast<int16_t>(numbers["extra"]),
                                     static_cast<int16_t>(numbers["time"]),
                                     static_cast<int16_t>(numbers["wall"]),
                                     {}};
    BindCaveFile(cave);
    return cave;
}
