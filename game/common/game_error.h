// The one kind of failure the game raises: a numbered error with a description, as
// the failure messages show them ("<number>/<description>").
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The numbers our failures carry, one table for the whole game: SDL reports none of its own.
enum FailureNumber : int32_t {
    DisplayFailure = 1,  // the window, the renderer or the text could not be had
    SoundFailure = 1,    // the sound device could not be opened
    FileNotFound = 53,   // a picture, sound or font is missing or unreadable, or a screenshot unwritable
};

class GameError : public std::runtime_error {
public:
    GameError(int32_t number, const std::string& description) : std::runtime_error(description), number_(number) {}
    int32_t number() const { return number_; }

private:
    int32_t number_;
};
