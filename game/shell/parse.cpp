#include "shell/parse.h"

#include <charconv>

bool ParseWholeNumber(std::string_view text, int& number, int low, int high) {
    const char* end = text.data() + text.size();
    int value = 0;
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || value < low || value > high) return false;
    number = value;
    return true;
}

std::vector<Word> SplitWords(const std::string& line) {
    std::vector<Word> words;
    size_t start = line.find_first_not_of(" \t");
    while (start != std::string::npos) {
        const size_t end = line.find_first_of(" \t", start);
        const size_t stop = end == std::string::npos ? line.size() : end;
        words.push_back({line.substr(start, stop - start), static_cast<int>(start) + 1});
        start = line.find_first_not_of(" \t", stop);
    }
    return words;
}
