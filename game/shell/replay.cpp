#include "shell/replay.h"

#include <array>
#include <fstream>
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
    std::string caveFile;
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
    auto fail = [&](const Word& word, const std::string& what) {
        error = Where(name, line, word.column) + what;
        return std::nullopt;
    };
    while (std::getline(in, text)) {
        ++line;
        const std::vector<Word> words = SplitWords(text);
        if (words.empty() || words[0].text[0] == '#') continue;
        const Word& number = words[0];
        if (words.size() != 2 || !IsDecimal(number.text)) return fail(number, "expected '<frame> <event>'");
        int frame = 0;
        if (!ParseWholeNumber(number.text, frame, 0, LastReplayFrame))
            return fail(number, "frame " + number.text + " is outside 0 to " + std::to_string(LastReplayFrame));
        if (!replay.steps.empty() && frame < replay.steps.back().frame)
            return fail(number, "frame " + number.text + " comes before the frame of the line above");
        const std::optional<ReplayEvent> event = EventNamed(words[1].text);
        if (!event) return fail(words[1], "unknown event " + Quoted(words[1].text));
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

void ArmRecording(const std::string& caveFile) {
    recorder.armed = true;
    recorder.caveFile = caveFile;
}

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
    const std::string cave =
        recorder.caveFile.empty() ? "--cave " + std::to_string(recorder.cave) : "--cave-file " + recorder.caveFile;
    out << "# A game of kelvoro, recorded on screen.\n"
        << "# Play it again with: kelvoro --headless " << cave << " --replay " << path << "\n";
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
