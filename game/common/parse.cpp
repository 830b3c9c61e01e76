#include "common/parse.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

namespace {

// Far more than any cave or recorded game.
constexpr size_t MostTextBytes = 16 << 20;

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

bool IsControl(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F; }

std::string Hex(unsigned char c) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02x", c);
    return text;
}

struct OpenFile {
    int fd;
    ~OpenFile() {
        if (fd >= 0) ::close(fd);
    }
};

// The file's bytes, up to one more than MostTextBytes. Only a plain file is read: a pipe
// would hold the game up until someone writes to it, and a device never ends.
std::optional<std::string> ReadBytes(const std::string& path, std::string& error) {
    const OpenFile file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
    const int fd = file.fd;
    struct stat info {};
    std::string problem = fd < 0 || ::fstat(fd, &info) != 0 ? std::strerror(errno)
                          : S_ISDIR(info.st_mode)           ? "it is a folder"
                          : !S_ISREG(info.st_mode)          ? "it is not a plain file (a pipe, device or socket)"
                                                            : "";
    std::string bytes;
    char buffer[1 << 16];
    while (problem.empty() && bytes.size() <= MostTextBytes) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) problem = std::strerror(errno);
        if (got <= 0) break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    if (!problem.empty()) {
        error = "cannot read " + path + ": " + problem;
        return std::nullopt;
    }
    return bytes;
}

}  // namespace

bool ParseWholeNumber(std::string_view text, int& number, int low, int high) {
    const char* end = text.data() + text.size();
    int value = 0;
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || value < low || value > high) return false;
    number = value;
    return true;
}

bool IsDecimal(std::string_view text) {
    if (!text.empty() && text[0] == '-') text.remove_prefix(1);
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::vector<Word> SplitWords(const std::string& line) {
    std::vector<Word> words;
    size_t start = line.find_first_not_of(" \t");
    while (start != std::string::npos) {
        const size_t end = line.find_first_of(" \t", start);
        const size_t stop = end == std::string::npos ? line.size() : end;
        words.push_back({line.substr(start, stop - start), ColumnOf(line, start)});
        start = line.find_first_not_of(" \t", stop);
    }
    return words;
}

int ColumnOf(std::string_view line, size_t index) {
    int column = 1;
    for (size_t i = 0; i < index && i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (c == '\t')
            column += 8 - (column - 1) % 8;
        else if ((c & 0xC0) != 0x80)  // a UTF-8 continuation byte adds nothing
            ++column;
    }
    return column;
}

std::string Where(const std::string& name, int line, int column) {
    return name + ":" + std::to_string(line) + ":" + std::to_string(column) + ": ";
}

std::string Quoted(std::string_view text) {
    std::string quoted = "'";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        quoted += byte >= 0x20 && byte < 0x7F ? std::string(1, c) : Hex(byte);
    }
    return quoted + "'";
}

std::optional<std::string> ReadTextFile(const std::string& path, std::string& error) {
    std::optional<std::string> bytes = ReadBytes(path, error);
    if (!bytes) return std::nullopt;
    std::string_view rest = *bytes;
    if (rest.starts_with(ByteOrderMark)) rest.remove_prefix(ByteOrderMark.size());
    std::string text;
    int line = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i < rest.size(); ++i) {
        const auto c = static_cast<unsigned char>(rest[i]);
        if (c == '\r' && (i + 1 == rest.size() || rest[i + 1] == '\n')) continue;
        if (IsControl(c)) {
            error = Where(path, line, ColumnOf(rest.substr(lineStart), i - lineStart)) + "binary data (byte " + Hex(c) +
                    "), not a text file";
            return std::nullopt;
        }
        if (c == '\n') {
            ++line;
            lineStart = i + 1;
        }
        text += rest[i];
    }
    if (bytes->size() > MostTextBytes) {
        error = path + ": larger than " + std::to_string(MostTextBytes >> 20) + " MiB, too large to be read";
        return std::nullopt;
    }
    return text;
}
