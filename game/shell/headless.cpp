#include "shell/headless.h"

#include <fstream>
#include <optional>

#include "display/display.h"
#include "play/cave_file.h"
#include "play/caves.h"
#include "play/state.h"
#include "shell/keys.h"
#include "shell/main.h"
#include "shell/replay.h"

namespace {

// A display that shows nothing and whose clock the runner moves.
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
    void ShowMessage(const std::string&) override {}
};

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

std::string OutcomeOf(bool exited) {
    if (exited) return "exit";
    if (Game.Lives == 0) return "gameover";
    if (Game.PlayerDead) return Game.CaveTime == 0 ? "timeout" : "dead";
    return "playing";
}

// What the outcome line reports of the cave whose exit was entered: the next cave has
// already started by the time the move returns.
struct ExitReading {
    int16_t cave;
    int16_t jewels;
    int16_t time;
};

bool IsMove(ReplayEvent event) {
    return event == ReplayEvent::Left || event == ReplayEvent::Right || event == ReplayEvent::Up ||
           event == ReplayEvent::Down;
}

template <typename Parsed, typename Parser>
std::optional<Parsed> ReadFile(const std::string& path, Parser parse, std::ostream& err) {
    std::ifstream in(path);
    if (!in) {
        err << "kelvoro: cannot read " << path << "\n";
        return std::nullopt;
    }
    std::string error;
    std::optional<Parsed> parsed = parse(in, path, error);
    if (!parsed) err << "kelvoro: " << error << "\n";
    return parsed;
}

}  // namespace

void PrintGrid(std::ostream& out) {
    for (int y = 1; y <= CaveHeight; ++y) {
        std::string row;
        for (int x = 1; x <= CaveWidth; ++x) row += GridCharacter(Game.Cave(x, y));
        out << row << "\n";
    }
}

int RunHeadless(const HeadlessOptions& options, std::ostream& out, std::ostream& err) {
    std::optional<CaveFile> caveFile;
    if (!options.caveFile.empty()) {
        caveFile = ReadFile<CaveFile>(options.caveFile, ParseCaveFile, err);
        if (!caveFile) return 2;
    }
    Replay replay;
    if (!options.replay.empty()) {
        std::optional<Replay> parsed = ReadFile<Replay>(options.replay, ParseReplay, err);
        if (!parsed) return 2;
        replay = std::move(*parsed);
    }
    const int frames = options.frames >= 0 ? options.frames : (replay.steps.empty() ? 0 : replay.steps.back().frame) + 1;

    VirtualScreen screen;
    UseDisplayDevice(&screen);
    Game = GameState{};
    Game.Running = True;
    UseCustomCave(caveFile ? &caveFile->definition : nullptr);
    StartNewGame(static_cast<int16_t>(caveFile ? 1 : options.cave));

    std::optional<ExitReading> exited;
    size_t next = 0;
    auto playEventsOf = [&](int frame) {
        for (; !exited && next < replay.steps.size() && replay.steps[next].frame == frame; ++next) {
            // Only a move into the open exit starts a cave while the player is playing.
            const ExitReading before{Game.CaveNumber, Game.JewelsCollected, Game.CaveTime};
            const bool playing = Game.InGame && Game.BirthCounter == -1;
            PlayReplayEvent(replay.steps[next].event);
            if (playing && Game.BirthCounter == 0 && IsMove(replay.steps[next].event)) exited = before;
        }
    };
    auto runClock = [&] {
        if (!replay.listsTicks) TickClockIfDue();
    };

    int drawn = 0;
    playEventsOf(0);
    runClock();
    while (!exited && drawn < frames && Game.Running) {
        screen.now += FramePeriod;
        DrawFrame();
        ++drawn;
        playEventsOf(drawn);
        runClock();
    }
    UseCustomCave(nullptr);
    UseDisplayDevice(nullptr);

    if (options.printGrid) PrintGrid(out);
    const ExitReading reading = exited.value_or(ExitReading{Game.CaveNumber, Game.JewelsCollected, Game.CaveTime});
    out << "frames " << drawn << " outcome " << OutcomeOf(exited.has_value()) << " cave " << reading.cave << " score "
        << Game.Score << " lives " << Game.Lives << " jewels " << reading.jewels << " time " << reading.time << "\n";
    return 0;
}
