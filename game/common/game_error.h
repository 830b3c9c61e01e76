// The one kind of failure the game raises: a numbered error with a description, as
// the failure messages show them ("<number>/<description>").
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class GameError : public std::runtime_error {
public:
    GameError(int32_t number, const std::string& description) : std::runtime_error(description), number_(number) {}
    int32_t number() const { return number_; }

private:
    int32_t number_;
};
