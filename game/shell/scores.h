// The scores of a game on screen: every game counts once it ends, at game over, on Esc or
// when its window is closed, and a game that makes the table asks on the title for its
// player's name.
#pragma once

#include <string>

#include "common/high_score.h"
#include "platform/display.h"

struct ScoreBook {
    std::string file;          // where the table is kept; empty: nowhere
    ScoreTable table;
    bool gameToCount = false;  // a game is under way that the table has not seen yet
    ScoreEntry entered;        // the last game entered, under the name it has so far
    bool askingName = false;   // the title asks for the name of that game's player
    std::string name;          // what the player has typed of it
    bool tableShown = false;   // h on the title
    bool helpShown = false;    // F1 on the title
};

extern ScoreBook Scores;

// Keeps the table at path from now on; the title shows its best score.
void KeepScoresIn(const std::string& path);

// Enters the game under way into the table once it is over, left or its window closed.
// The main loop calls it after every pass of a run that keeps scores, never for the demo.
void CountGame();

// The keys the title keeps for itself: the name being typed, the scores key (h) for the
// table, the help key (F1) for the keys and Esc closing either. True when it took the key.
bool TitleTakesKey(const WindowEvent& key);

// The help key (F1), which shows the keys: on the title a page of its own, in a cave
// (where it pauses and resumes as Space does) the line under the paused cave.
bool IsHelpKey(const WindowEvent& key);
