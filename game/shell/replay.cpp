#include "shell/replay.h"

#include <array>
#include <climits>
#include <string_view>
#include <utility>

#include "shell/keys.h"
#include "shell/main.h"
#include "shell/parse.h"

namespace {

constexpr std::array<std::pair<std::string_view, ReplayEvent>, 9> EventNames{{
    {"left", ReplayEvent::Left},
    {"right", ReplayEvent::Right},
    {"up", ReplayEvent::Up},
    {"down", ReplayEvent::Down},
    {"esc", ReplayEvent::Esc},
    {"enter", ReplayEvent::Enter},
    {"space", ReplayEvent::Space},
    {"l", ReplayEvent::Level},
    {"tick", ReplayEvent::Tick},
}};

std::optional<ReplayEvent> EventNamed(std::string_view name) {
    for (const auto& [text, event] : EventNames)
        if (text == name) return event;
    return std::nullopt;
}

}  // namespace

std::optional<Replay> ParseReplay(std::istream& in, const std::string& name, std::string& error) {
    Replay replay;
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        const std::vector<Word> words = SplitWords(text);
        if (words.empty() || words[0].text[0] == '#') continue;
        const std::string where = name + ":" + std::to_string(line) + ": ";
        int frame = 0;
        if (words.size() != 2 || !ParseWholeNumber(words[0].text, frame, 0, INT_MAX)) {
            error = where + "expected '<frame> <event>'";
            return std::nullopt;
        }
        if (!replay.steps.empty() && frame < replay.steps.back().frame) {
            error = where + "frame " + words[0].text + " comes before the frame of the line above";
            return std::nullopt;
        }
        const std::optional<ReplayEvent> event = EventNamed(words[1].text);
        if (!event) {
            error = where + "unknown event '" + words[1].text + "'";
            return std::nullopt;
        }
        replay.steps.push_back({frame, *event});
        replay.listsTicks = replay.listsTicks || *event == ReplayEvent::Tick;
    }
    return replay;
}

void PlayReplayEvent(ReplayEvent event) {
    switch (event) {
        case ReplayEvent::Left: Form_KeyDown(KeyLeft); break;
        case ReplayEvent::Right: Form_KeyDown(KeyRight); break;
        case ReplayEvent::Up: Form_KeyDown(KeyUp); break;
        case ReplayEvent::Down: Form_KeyDown(KeyDown); break;
        case ReplayEvent::Esc: Form_KeyPress(KeyEscape); break;
        case ReplayEvent::Enter: Form_KeyPress(KeyEnter); break;
        case ReplayEvent::Space: Form_KeyPress(KeySpace); break;
        case ReplayEvent::Level: Form_KeyPress(KeyLevel); break;
        case ReplayEvent::Tick: TickClockIfAllowed(); break;
    }
}
