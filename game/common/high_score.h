// The ten best games, kept in a small text file between runs, so that every game counts
// however it ended and however many were played at the same time.
//
// One game a line, best first (equal scores in the order they were played), '#' lines
// are comments:
//
//   <score> <cave> <date> <name>
//   12345 7 2026-05-01 alice
//
// the score (0 to 999999999), the cave the game reached (0 to 999; 0: not known), the
// day it was played (YYYY-MM-DD) and the player's name, which is the rest of the line:
// 1 to 16 characters without control characters or blanks at either end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct ScoreEntry {
    int32_t score = 0;
    int16_t cave = 0;
    std::string date;
    std::string name;
    bool operator==(const ScoreEntry&) const = default;
};

using ScoreTable = std::vector<ScoreEntry>;

constexpr size_t TablePlaces = 10;
constexpr size_t NameCharacters = 16;

// $XDG_STATE_HOME/kelvoro, or ~/.local/state/kelvoro when XDG_STATE_HOME is unset, empty
// or relative; empty when there is no home to keep the tables in.
std::string ScoresFolder();

// The table of the built-in caves, folder/scores, or with a key (a cave file's
// fingerprint) the table of that cave, folder/scores-<key>.
std::string ScoresPath(const std::string& folder, const std::string& key = "");

// The table kept at path: empty for a missing file. Lines that are no entry are left out
// with a one-line warning naming the file, as is a file that cannot be read. The table of
// the built-in caves takes over, once, the single score of the older file "highscore"
// beside it while it has none of its own. Never throws.
ScoreTable LoadScores(const std::string& path, std::string& warning);

// The place, from 1, that a score would take in the table; 0 when it would not make it
// (a game without points never does).
int PlaceFor(const ScoreTable& table, int32_t score);

// Enters a game into the table at path: under the file's lock, after reading it again, so
// that games ended at the same time all count. table becomes the table written. Returns
// the game's place, 0 when it did not make the table, or -1 with a one-line error naming
// the file when the table cannot be kept.
int EnterScore(const std::string& path, const ScoreEntry& entry, ScoreTable& table, std::string& error);

// Gives an entry of the table at path its player's name, the same way; an entry no longer
// in the table (pushed out meanwhile) is nothing to rename.
bool RenameScore(const std::string& path, const ScoreEntry& entry, const std::string& name, ScoreTable& table,
                 std::string& error);

// A name as the table keeps it: control characters left out, no blanks at either end, at
// most 16 characters (perhaps empty).
std::string CleanName(std::string_view name);

// The login name, which an entry has until its player types another.
std::string DefaultPlayerName();

// The local date as YYYY-MM-DD.
std::string Today();
