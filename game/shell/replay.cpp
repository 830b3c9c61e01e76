#include "shell/replay.h"

#include <array>
#include <fstream>
#include <climits>
#include <string_view>
#include <utility>

#include "shell/keys.h"
#include "shell/main.h"
#include "play/state.h"
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

std::string_view NameOf(ReplayEvent event) {
    for (const auto& [text, named] : EventNames)
        if (named == event) return text;
    return {};
}

struct Recorder {
    bool armed = false;
    bool started = false;
    int frames = 0;
    int16_t cave = 0;
    Replay replay;
};

struct Playback {
    bool armed = false;
    bool started = false;
    int frames = 0;
    size_t next = 0;
    Replay replay;
};

Recorder recorder;
Playback playback;

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

std::optional<ReplayEvent> EventOfKeyDown(int16_t keyCode) {
    switch (keyCode) {
        case KeyLeft: return ReplayEvent::Left;
        case KeyRight: return ReplayEvent::Right;
        case KeyUp: return ReplayEvent::Up;
        case KeyDown: return ReplayEvent::Down;
        default: return std::nullopt;
    }
}

std::optional<ReplayEvent> EventOfKeyPress(int16_t keyAscii) {
    switch (keyAscii) {
        case KeyEscape: return ReplayEvent::Esc;
        case KeyEnter: return ReplayEvent::Enter;
        case KeySpace: return ReplayEvent::Space;
        case KeyLevel: return ReplayEvent::Level;
        default: return std::nullopt;
    }
}

void ArmRecording() { recorder.armed = true; }

void NoteNewGame() {
    if (recorder.armed && !recorder.started) {
        recorder.started = true;
        recorder.cave = Game.CaveNumber;
    }
    if (playback.armed && !playback.started) playback.started = true;
}

void NoteFrame() {
    if (recorder.started) ++recorder.frames;
    if (playback.started) ++playback.frames;
}

void NoteEvent(ReplayEvent event) {
    if (recorder.started) recorder.replay.steps.push_back({recorder.frames, event});
}

int16_t RecordedCave() { return recorder.cave; }

bool SaveRecording(const std::string& path, std::string& error) {
    std::ofstream out(path);
    out << "# A game of kelvoro, recorded on screen from cave " << recorder.cave << ".\n"
        << "# Play it again with: kelvoro --headless --cave " << recorder.cave << " --replay " << path << "\n";
    for (const ReplayStep& step : recorder.replay.steps) out << step.frame << " " << NameOf(step.event) << "\n";
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

void PlayOnScreen(Replay replay) {
    playback = Playback{};
    playback.replay = std::move(replay);
    playback.armed = true;
}

void PlayDueReplayEvents() {
    if (!playback.started) return;
    const std::vector<ReplayStep>& steps = playback.replay.steps;
    for (; playback.next < steps.size() && steps[playback.next].frame <= playback.frames; ++playback.next)
        PlayReplayEvent(steps[playback.next].event);
}

bool ClockFollowsReplay() { return playback.armed && playback.replay.listsTicks; }

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
