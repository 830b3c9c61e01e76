#include "shell/headless.h"

#include <optional>
#include <sstream>

#include "display/display.h"
#include "play/cave_file.h"
#include "play/caves.h"
#include "play/state.h"
#include "shell/keys.h"
#include "shell/main.h"
#include "shell/parse.h"
#include "shell/replay.h"

namespace {

// A display that shows nothing, on a clock that moves a frame at a time.
class VirtualScreen : public DisplayDevice {
public:
    uint32_t now = 0;

    void Open() override {}
    void Close() override {}
    void LoadPicture(Picture, const std::string&, int, int) override {}
    void Fill(Colour) override {}
    void Copy(Picture, const SourceRect&, int, int) override {}
    void Text(const std::string&, int, int, Colour) override {}
    void Flip() override {}
    uint32_t Ticks() override { return now; }
    void ShowWindow() override {}
    void ShowPointer(bool) override {}
    void PumpEvents() override {}
    void WaitForEvents(uint32_t) override {}
    int AverageCharWidth() override { return 0; }
    void ShowMessage(const std::string&) override {}
};

VirtualScreen screen;

char GridCharacter(int16_t code) {
    switch (code) {
        case Player: return 'F';
        case FallingJewel: return 'J';
        case FallingBoulder: return 'B';
        case Explosion: return 'E';
        case ExitDoor: return 'D';
        default: return static_cast<char>('0' + code);
    }
}

std::string OutcomeOf() {
    if (Game.Lives == 0) return "gameover";
    if (Game.PlayerDead) return Game.CaveTime == 0 ? "timeout" : "dead";
    return "playing";
}

// What an outcome line reports of a cave. For an exit these are read before the move,
// since the next cave has already started by the time it returns.
struct ExitReading {
    int16_t cave;
    int16_t jewels;
    int16_t time;
};

bool IsMove(ReplayEvent event) {
    return event == ReplayEvent::Left || event == ReplayEvent::Right || event == ReplayEvent::Up ||
           event == ReplayEvent::Down;
}

void PrintOutcome(std::ostream& out, int frames, const std::string& outcome, const ExitReading& reading) {
    out << "frames " << frames << " outcome " << outcome << " cave " << reading.cave << " score " << Game.Score
        << " lives " << Game.Lives << " jewels " << reading.jewels << " time " << reading.time << "\n";
}

template <typename Parsed, typename Parser>
bool ReadInto(std::optional<Parsed>& parsed, const std::string& path, Parser parse, std::string& error) {
    const std::optional<std::string> text = ReadTextFile(path, error);
    if (!text) return false;
    std::istringstream in(*text);
    parsed = parse(in, path, error);
    return parsed.has_value();
}

}  // namespace

void PrintGrid(std::ostream& out) {
    for (int y = 1; y <= CaveHeight; ++y) {
        std::string row;
        for (int x = 1; x <= CaveWidth; ++x) row += GridCharacter(Game.Cave(x, y));
        out << row << "\n";
    }
}

void StartHeadlessGame(int16_t cave) {
    screen.now = 0;
    UseDisplayDevice(&screen);
    Game = GameState{};
    Game.Running = True;
    StartNewGame(cave);
}

void DrawHeadlessFrame() {
    screen.now = Game.LastFrameTick + FramePeriod;
    DrawFrame();
}

bool PlayHeadlessEvent(ReplayEvent event) {
    // Only a move into the open exit starts a cave while the player is playing.
    const bool playing = Game.InGame && Game.BirthCounter == -1;
    PlayReplayEvent(event);
    return playing && Game.BirthCounter == 0 && IsMove(event);
}

void EndHeadlessGame() { UseDisplayDevice(nullptr); }

std::optional<RunInputs> ReadRunInputs(const HeadlessOptions& options, std::string& error) {
    RunInputs inputs;
    if (!options.caveFile.empty() && !ReadInto(inputs.cave, options.caveFile, ParseCaveFile, error)) return std::nullopt;
    if (!options.replay.empty() && !ReadInto(inputs.replay, options.replay, ParseReplay, error)) return std::nullopt;
    return inputs;
}

int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
    std::string error;
    std::optional<RunInputs> inputs = ReadRunInputs(options, error);
    if (!inputs) {
        err << "kelvoro: " << error << "\n";
        return 2;
    }
    const std::optional<CaveDefinition>& cave = inputs->cave;
    const Replay replay = inputs->replay.value_or(Replay{});
    const int frames = options.frames >= 0 ? options.frames : (replay.steps.empty() ? 0 : replay.steps.back().frame) + 1;

    UseCustomCave(cave ? &*cave : nullptr);
    StartHeadlessGame(static_cast<int16_t>(cave ? 1 : options.cave));

    int drawn = 0;
    bool stopped = false;
    std::optional<ExitReading> exited;
    size_t next = 0;
    auto playEventsOf = [&](int frame) {
        for (; !stopped && next < replay.steps.size() && replay.steps[next].frame == frame; ++next) {
            const ExitReading before{Game.CaveNumber, Game.JewelsCollected, Game.CaveTime};
            if (!PlayHeadlessEvent(replay.steps[next].event)) continue;
            exited = before;
            if (options.continueGame)
                PrintOutcome(out, drawn, "exit", before);
            else
                stopped = true;
        }
    };
    auto runClock = [&] {
        if (!replay.listsTicks) TickClockIfDue();
    };

    playEventsOf(0);
    runClock();
    while (!stopped && drawn < frames && Game.Running) {
        DrawHeadlessFrame();
        ++drawn;
        playEventsOf(drawn);
        runClock();
    }
    UseCustomCave(nullptr);
    EndHeadlessGame();

    if (options.printGrid) PrintGrid(out);
    if (stopped)
        PrintOutcome(out, drawn, "exit", *exited);
    else
        PrintOutcome(out, drawn, OutcomeOf(), {Game.CaveNumber, Game.JewelsCollected, Game.CaveTime});
    return 0;
}
