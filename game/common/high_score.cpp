#include "common/high_score.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <functional>
#include <optional>
#include <utility>

namespace {

constexpr int32_t MostScore = 999999999;
constexpr int16_t MostCave = 999;
// Ten entries take well under a kilobyte; anything this long is no table.
constexpr size_t MostTableBytes = 64 << 10;
// The older file held one score of at most nine digits and a newline.
constexpr size_t MostOldBytes = 64;

std::string EnvOrEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool Absolute(const std::string& path) { return !path.empty() && path.front() == '/'; }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The whole of text as a decimal number from 0 to most, or -1.
int64_t ParseNumber(std::string_view text, int64_t most) {
    if (text.empty()) return -1;
    int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
        if (value > most) return -1;
    }
    return value;
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

// Why the file at path is not read, or empty when it is (text holds it then, and stays
// empty for a missing file, which missing tells).
std::string ReadSmallFile(const std::string& path, size_t most, std::string& text, bool& missing) {
    text.clear();
    missing = false;
    // Non-blocking, so that a pipe put in the file's place cannot hold up the game.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (file.Get() < 0) {
        missing = errno == ENOENT;
        return missing ? "" : std::strerror(errno);
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) != 0) return std::strerror(errno);
    if (S_ISDIR(info.st_mode)) return "it is a folder";
    if (!S_ISREG(info.st_mode)) return "it is not a plain file";
    if (static_cast<uint64_t>(info.st_size) > most) return "it is too large";
    std::array<char, 4096> buffer{};
    while (text.size() <= most) {
        const ssize_t got = ::read(file.Get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::strerror(errno);
        if (got == 0) break;
        text.append(buffer.data(), static_cast<size_t>(got));
    }
    if (text.size() > most) return "it is too large";  // it grew while being read
    return "";
}

// The score of the older single-number file, or 0 when it has none to give.
int32_t ReadOldScore(const std::string& path) {
    std::string text;
    bool missing = false;
    if (!ReadSmallFile(path, MostOldBytes, text, missing).empty() || missing) return 0;
    if (!text.empty() && text.back() == '\n') text.pop_back();
    return static_cast<int32_t>(std::max<int64_t>(0, ParseNumber(text, MostScore)));
}

bool IsDate(std::string_view text) {
    if (text.size() != 10) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i == 4 || i == 7 ? text[i] != '-' : (text[i] < '0' || text[i] > '9')) return false;
    return true;
}

std::optional<ScoreEntry> ParseEntry(std::string_view line) {
    std::array<std::string_view, 3> fields;
    for (std::string_view& field : fields) {
        const size_t space = line.find(' ');
        if (space == std::string_view::npos) return std::nullopt;
        field = line.substr(0, space);
        line.remove_prefix(space + 1);
    }
    const int64_t score = ParseNumber(fields[0], MostScore);
    const int64_t cave = ParseNumber(fields[1], MostCave);
    if (score < 0 || cave < 0 || !IsDate(fields[2]) || line.empty() || CleanName(line) != line) return std::nullopt;
    return ScoreEntry{static_cast<int32_t>(score), static_cast<int16_t>(cave), std::string(fields[2]),
                      std::string(line)};
}

void SortTable(ScoreTable& table) {
    std::stable_sort(table.begin(), table.end(),
                     [](const ScoreEntry& a, const ScoreEntry& b) { return a.score > b.score; });
    if (table.size() > TablePlaces) table.resize(TablePlaces);
}

// The entries of text; problem tells of the first line that is none.
ScoreTable ParseTable(const std::string& text, std::string& problem) {
    ScoreTable table;
    size_t start = 0;
    for (int line = 1; start < text.size(); ++line) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string_view row = std::string_view(text).substr(start, end - start);
        start = end + 1;
        if (row.empty() || row.front() == '#') continue;
        if (std::optional<ScoreEntry> entry = ParseEntry(row))
            table.push_back(std::move(*entry));
        else if (problem.empty())
            problem = "line " + std::to_string(line) + " is not '<score> <cave> <date> <name>'";
    }
    SortTable(table);
    return table;
}

// The older file's score as an entry, for a table of the built-in caves that has none yet.
std::optional<ScoreEntry> CarriedOver(const std::string& path) {
    if (BaseName(path) != "scores") return std::nullopt;
    const std::string old = FolderOf(path) + "/highscore";
    const int32_t score = ReadOldScore(old);
    if (score <= 0) return std::nullopt;
    struct stat info {};
    std::string date = Today();
    if (::stat(old.c_str(), &info) == 0) {
        std::tm day{};
        char text[16];
        if (::localtime_r(&info.st_mtime, &day) && std::strftime(text, sizeof text, "%Y-%m-%d", &day)) date = text;
    }
    return ScoreEntry{score, 0, date, DefaultPlayerName()};
}

// The table at path (or the one carried over when there is none); why the file could not
// be read, or empty. Lines that are no entry are left out, and damaged tells of the first.
std::string ReadTable(const std::string& path, ScoreTable& table, bool& carried, std::string& damaged) {
    std::string text;
    bool missing = false;
    carried = false;
    table.clear();
    damaged.clear();
    if (std::string problem = ReadSmallFile(path, MostTableBytes, text, missing); !problem.empty()) return problem;
    if (!missing) {
        table = ParseTable(text, damaged);
    } else if (std::optional<ScoreEntry> old = CarriedOver(path)) {
        table.push_back(std::move(*old));
        carried = true;
    }
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

std::string TableText(const ScoreTable& table) {
    std::string text = "# kelvoro scores, best first: <score> <cave> <date> <name>\n";
    for (const ScoreEntry& entry : table)
        text += std::to_string(entry.score) + " " + std::to_string(entry.cave) + " " + entry.date + " " + entry.name +
                "\n";
    return text;
}

// Why the table cannot be written to path, or empty once it is. The file is replaced whole,
// so a crash never leaves half a table.
std::string WriteTable(const std::string& path, const ScoreTable& table) {
    const std::string folder = FolderOf(path);
    // Beside the file, so that the rename stays on one file system.
    std::string temporary = folder + "/.scores.XXXXXX";
    FileDescriptor file(::mkstemp(temporary.data()));
    if (file.Get() < 0) return std::string("cannot write in ") + folder + ": " + std::strerror(errno);
    std::string problem;
    if (!WriteAll(file.Get(), TableText(table)) || ::fsync(file.Get()) != 0) problem = std::strerror(errno);
    if (file.Close() != 0 && problem.empty()) problem = std::strerror(errno);
    if (problem.empty() && ::rename(temporary.c_str(), path.c_str()) != 0) problem = std::strerror(errno);
    if (!problem.empty()) ::unlink(temporary.c_str());
    return problem;
}

// Reads the table at path again under its lock, changes it and writes it back; why that
// failed, or empty. The lock is a file of its own beside the table, which the rename of
// a new table leaves in place.
std::string UpdateTable(const std::string& path, ScoreTable& table, const std::function<void(ScoreTable&)>& change) {
    const std::string folder = FolderOf(path);
    if (std::string made = folder == "." || folder == "/" ? "" : MakeFolders(folder); !made.empty()) return made;
    const std::string lockPath = path + ".lock";
    FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600));
    if (lock.Get() < 0) return "cannot open " + lockPath + ": " + std::strerror(errno);
    int locked = 0;
    while ((locked = ::flock(lock.Get(), LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) return "cannot lock " + lockPath + ": " + std::strerror(errno);
    bool carried = false;
    // Lines that are no entry go with the rewrite (the warning came at the start); a file
    // that cannot be read is not replaced.
    std::string damaged;
    if (std::string unread = ReadTable(path, table, carried, damaged); !unread.empty()) return unread;
    change(table);
    SortTable(table);
    return WriteTable(path, table);
}

template <typename Action>
bool Guarded(const std::string& path, std::string& error, Action action) {
    error.clear();
    try {
        const std::string problem = action();
        if (problem.empty()) return true;
        error = "cannot keep the scores in " + path + ": " + problem;
    } catch (const std::exception& failure) {
        error = "cannot keep the scores in " + path + ": " + failure.what();
    }
    return false;
}

}  // namespace

std::string ScoresFolder() {
    const std::string state = EnvOrEmpty("XDG_STATE_HOME");
    if (Absolute(state)) return state + "/kelvoro";
    // A relative home would put the file wherever the game was started.
    const std::string home = EnvOrEmpty("HOME");
    if (!Absolute(home)) return "";
    return home + "/.local/state/kelvoro";
}

std::string ScoresPath(const std::string& folder, const std::string& key) {
    return folder + (key.empty() ? "/scores" : "/scores-" + key);
}

ScoreTable LoadScores(const std::string& path, std::string& warning) {
    warning.clear();
    ScoreTable table;
    try {
        bool carried = false;
        std::string damaged;
        if (const std::string unread = ReadTable(path, table, carried, damaged); !unread.empty())
            warning = "ignoring the scores in " + path + ": " + unread;
        else if (!damaged.empty())
            warning = "ignoring part of the scores in " + path + ": " + damaged;
        // Carried over once: from now on the table has a file of its own.
        if (carried) {
            std::string error;
            if (!Guarded(path, error, [&] { return UpdateTable(path, table, [](ScoreTable&) {}); })) warning = error;
        }
    } catch (const std::exception& error) {
        warning = "ignoring the scores in " + path + ": " + error.what();
    }
    return table;
}

int PlaceFor(const ScoreTable& table, int32_t score) {
    if (score <= 0) return 0;
    const auto better =
        std::count_if(table.begin(), table.end(), [score](const ScoreEntry& entry) { return entry.score >= score; });
    return better < static_cast<std::ptrdiff_t>(TablePlaces) ? static_cast<int>(better) + 1 : 0;
}

int EnterScore(const std::string& path, const ScoreEntry& entry, ScoreTable& table, std::string& error) {
    int place = 0;
    const bool kept = Guarded(path, error, [&] {
        return UpdateTable(path, table, [&](ScoreTable& now) {
            place = PlaceFor(now, entry.score);
            if (place > 0) now.insert(now.begin() + (place - 1), entry);
        });
    });
    return kept ? place : -1;
}

bool RenameScore(const std::string& path, const ScoreEntry& entry, const std::string& name, ScoreTable& table,
                 std::string& error) {
    const std::string kept = CleanName(name);
    if (kept.empty() || kept == entry.name) return true;
    return Guarded(path, error, [&] {
        return UpdateTable(path, table, [&](ScoreTable& now) {
            const auto found = std::find(now.begin(), now.end(), entry);
            if (found != now.end()) found->name = kept;
        });
    });
}

std::string CleanName(std::string_view name) {
    std::string shown;
    for (const char c : name)
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) shown += c;
    const size_t first = shown.find_first_not_of(' ');
    std::string clean;
    size_t characters = 0;
    for (size_t i = first == std::string::npos ? shown.size() : first; i < shown.size(); ++i) {
        // A UTF-8 continuation byte belongs to the character before it.
        const bool starts = (static_cast<unsigned char>(shown[i]) & 0xC0) != 0x80;
        if (starts && characters++ == NameCharacters) break;
        clean += shown[i];
    }
    return clean.substr(0, clean.find_last_not_of(' ') + 1);
}

std::string DefaultPlayerName() {
    std::string name;
    if (const passwd* user = ::getpwuid(::geteuid())) name = CleanName(user->pw_name ? user->pw_name : "");
    if (name.empty()) name = CleanName(EnvOrEmpty("USER"));
    return name.empty() ? "player" : name;
}

std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm day{};
    char text[16] = "1970-01-01";
    if (::localtime_r(&now, &day)) std::strftime(text, sizeof text, "%Y-%m-%d", &day);
    return text;
}
