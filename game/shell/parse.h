// Small pieces of text reading shared by the command line, cave files and replays.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The whole of text as a decimal number within [low, high].
bool ParseWholeNumber(std::string_view text, int& number, int low, int high);

struct Word {
    std::string text;
    int column;  // from 1
};

// The blank-separated words of a line, with where each starts.
std::vector<Word> SplitWords(const std::string& line);
