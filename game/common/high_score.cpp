#include "common/high_score.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string_view>
#include <utility>

namespace {

constexpr int32_t MostScore = 999999999;
// A kept score is at most nine digits and a newline; anything longer is not one.
constexpr size_t MostBytes = 64;

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool Absolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

// The number in text, or -1 when text is not a score as SaveHighScore writes it.
int32_t ParseScore(std::string_view text) {
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (text.empty()) return -1;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
        if (value > MostScore) return -1;
    }
    return static_cast<int32_t>(value);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    // Closes now, for callers that must know whether the close worked.
    int Close() { return ::close(std::exchange(fd_, -1)); }

private:
    int fd_;
};

// Why the high score in path is not read, or empty when it is (score holds it then, and
// stays 0 for a missing file).
std::string ReadScore(const std::string& path, int32_t& score) {
    // Non-blocking, so that a pipe put in the file's place cannot hold up the start.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0) return errno == ENOENT ? "" : std::strerror(errno);
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "it is a folder";
    if (!S_ISREG(info.st_mode)) return "it is not a plain file";
    if (static_cast<uint64_t>(info.st_size) > MostBytes) return "it is too large";
    std::array<char, MostBytes + 1> buffer{};
    size_t length = 0;
    while (length < buffer.size()) {
        const ssize_t got = ::read(file.Get(), buffer.data() + length, buffer.size() - length);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::strerror(errno);
        if (got == 0) break;
        length += static_cast<size_t>(got);
    }
    if (length > MostBytes) return "it is too large";  // it grew while being read
    score = ParseScore(std::string_view(buffer.data(), length));
    if (score < 0) return "it is not a number from 0 to " + std::to_string(MostScore);
    return "";
}

// Makes folder and those above it that are missing, each for the owner only.
std::string MakeFolders(const std::string& folder) {
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return "cannot make " + part + ": " + std::strerror(errno);
        struct stat info {};
        if (::stat(part.c_str(), &info) != 0) return "cannot make " + part + ": " + std::strerror(errno);
        if (!S_ISDIR(info.st_mode)) return part + " is not a folder";
        if (end == std::string::npos) return "";
    }
}

bool WriteAll(int fd, const std::string& text) {
    size_t written = 0;
    while (written < text.size()) {
        const ssize_t put = ::write(fd, text.data() + written, text.size() - written);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return false;
        written += static_cast<size_t>(put);
    }
    return true;
}

// Why score cannot be kept at path, or empty once it is.
std::string WriteScore(const std::string& path, int32_t score) {
    if (score < 0 || score > MostScore) return "the score " + std::to_string(score) + " is out of range";
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    if (std::string made = folder == "." || folder == "/" ? "" : MakeFolders(folder); !made.empty()) return made;
    // Beside the file, so that the rename stays on one file system.
    std::string temporary = folder + "/.highscore.XXXXXX";
    FileDescriptor file(::mkstemp(temporary.data()));
    if (file.Get() < 0) return std::string("cannot write in ") + folder + ": " + std::strerror(errno);
    std::string problem;
    if (!WriteAll(file.Get(), std::to_string(score) + "\n") || ::fsync(file.Get()) != 0) problem = std::strerror(errno);
    if (file.Close() != 0 && problem.empty()) problem = std::strerror(errno);
    if (problem.empty() && ::rename(temporary.c_str(), path.c_str()) != 0) problem = std::strerror(errno);
    if (!problem.empty()) ::unlink(temporary.c_str());
    return problem;
}

}  // namespace

std::string HighScorePath() {
    const std::string state = EnvOrEmpty("XDG_STATE_HOME");
    if (Absolute(state)) return state + "/kelvoro/highscore";
    // A relative home would put the file wherever the game was started.
    const std::string home = EnvOrEmpty("HOME");
    if (!Absolute(home)) return "";
    return home + "/.local/state/kelvoro/highscore";
}

int32_t LoadHighScore(const std::string& path, std::string& warning) {
    warning.clear();
    try {
        int32_t score = 0;
        const std::string problem = ReadScore(path, score);
        if (problem.empty()) return score;
        warning = "ignoring the high score in " + path + ": " + problem;
    } catch (const std::exception& error) {
        warning = "ignoring the high score in " + path + ": " + error.what();
    }
    return 0;
}

bool SaveHighScore(const std::string& path, int32_t score, std::string& error) {
    error.clear();
    try {
        const std::string problem = WriteScore(path, score);
        if (problem.empty()) return true;
        error = "cannot keep the high score in " + path + ": " + problem;
    } catch (const std::exception& failure) {
        error = "cannot keep the high score in " + path + ": " + failure.what();
    }
    return false;
}
