// Small pieces of text reading shared by the command line, cave files and replays.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The whole of text as a decimal number within [low, high].
bool ParseWholeNumber(std::string_view text, int& number, int low, int high);

// Digits with an optional minus sign: a number, though perhaps out of range.
bool IsDecimal(std::string_view text);

struct Word {
    std::string text;
    int column;  // from 1, as the line shows on screen
};

// The blank-separated words of a line, with where each starts.
std::vector<Word> SplitWords(const std::string& line);

// The column, from 1, at which the byte at `index` of a line shows: UTF-8 characters
// count once and tabs stop every eight columns.
int ColumnOf(std::string_view line, size_t index);

// "name:line:column: ", the start of a message about a place in a file.
std::string Where(const std::string& name, int line, int column);

// Text in quotes as it may go to a terminal: bytes other than printable ASCII as \xNN.
std::string Quoted(std::string_view text);

// A replay or cave file, read whole: without a UTF-8 byte-order mark and with CRLF line
// ends as LF. On a fault (unreadable, too large, binary) returns nothing and sets
// `error` to a one-line message naming the file.
std::optional<std::string> ReadTextFile(const std::string& path, std::string& error);
