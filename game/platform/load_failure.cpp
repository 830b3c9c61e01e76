#include "platform/load_failure.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

std::string LoadFailure(const std::string& path, const std::string& kind) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    std::string why;
    if (!std::filesystem::exists(status)) {
        why = "the file is missing";
    } else if (!std::filesystem::is_regular_file(status)) {
        why = "it is not a file";
    } else if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        std::fclose(file);
        why = "the file is damaged: it is not a " + kind + " the game can read";
    } else {
        why = std::string("the file cannot be read (") + std::strerror(errno) + ")";
    }
    return "cannot load " + path + ": " + why;
}
