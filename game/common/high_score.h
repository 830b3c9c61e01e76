// The best score of earlier games, kept in one small text file between runs.
#pragma once

#include <cstdint>
#include <string>

// $XDG_STATE_HOME/kelvoro/highscore, or ~/.local/state/kelvoro/highscore when
// XDG_STATE_HOME is unset, empty or relative; empty when there is no home to keep it in.
std::string HighScorePath();

// The score kept at path: 0 for a missing file; 0 and a one-line warning naming the file
// for one that is not a single number from 0 to 999999999 (with an optional newline) or
// cannot be read. Never throws.
int32_t LoadHighScore(const std::string& path, std::string& warning);

// Writes "<score>\n" to path, making its folders (for the owner only) as needed; the
// file is replaced whole, so a crash never leaves half a score. False with a one-line
// error naming the file when it cannot be kept.
bool SaveHighScore(const std::string& path, int32_t score, std::string& error);
