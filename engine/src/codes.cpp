#include <array>
#include <cstddef>
#include <cstdint>

#include "vortax.h"

namespace {

// The texts of each group, by the code's distance from the group's base. The network,
// pipe, URL and library groups belong to no module of ours; they keep their meaning for
// modules that may come.
constexpr const char* General[] = {"out of memory", "invalid parameters", "internal error", "timeout"};
constexpr const char* Network[] = {"connect timed out", "connect failed",     "connection refused", "accept failed",
                                   "listen failed",     "socket failed",      "socket closed",      "bind failed",
                                   "host unknown",      "invalid http reply", "http error reply",   "http error",
                                   "invalid ftp reply", "ftp error reply",    "ftp error"};
constexpr const char* Pipes[] = {"pipe failed",      "fork failed",       "select failed",
                                 "pipe closed",      "pipe read failed",  "pipe write failed",
                                 "invalid message",  "circular queue full", "post failed"};
constexpr const char* Urls[] = {"unsupported url scheme", "invalid url syntax"};
constexpr const char* Devices[] = {"open failed",          "close failed",           "read failed",
                                   "write failed",         "permission denied",      "no such device",
                                   "ioctl failed",         "plugin module not found", "unsupported input type",
                                   "unsupported output type", "unsupported format",  "device busy",
                                   "no such device",       "no such file",           "input end",
                                   "need more input"};
constexpr const char* Frames[] = {"invalid frame"};
constexpr const char* Libraries[] = {"library not found", "symbol not found"};
constexpr const char* Variables[] = {"no such environment variable", "invalid environment variable type"};

struct Group {
    const char* const* texts;
    int32_t count;
};

template <size_t N>
constexpr Group GroupOf(const char* const (&texts)[N]) {
    return {texts, static_cast<int32_t>(N)};
}

constexpr std::array<Group, 8> Groups{GroupOf(General), GroupOf(Network), GroupOf(Pipes),     GroupOf(Urls),
                                      GroupOf(Devices), GroupOf(Frames),  GroupOf(Libraries), GroupOf(Variables)};

}  // namespace

extern "C" const char* error_name(int32_t code) {
    if (code >= 0) return "";
    const int32_t group = code / 100;  // rounds towards zero: -514 is in group -5
    const int32_t index = -(code % 100);
    if (group < -static_cast<int32_t>(Groups.size()) || group == 0) return "unknown error";
    const Group& texts = Groups[static_cast<size_t>(-group - 1)];
    return index < texts.count ? texts.texts[index] : "unknown error";
}
