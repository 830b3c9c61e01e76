#include "shell/headless.h"

#include <optional>
#include <sstream>

#include "common/parse.h"
#include "core/cave_file.h"
#include "core/caves.h"
#include "core/state.h"
#include "platform/display.h"
#include "platform/sound.h"
#include "shell/keys.h"
#include "shell/main.h"
#include "shell/replay.h"

namespace {

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

void PrintOutcome(std::ostream& out, const std::string& outcome, const CaveExit& reading) {
    out << "frames " << reading.frame << " outcome " << outcome << " cave " << reading.cave << " score "
        << reading.score << " lives " << reading.lives << " jewels " << reading.jewels << " time " << reading.time
        << "\n";
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

void StartHeadlessGame(int16_t cave, int16_t startLevel) {
    UseDisplayDevice(nullptr);
    UseSoundDevice(nullptr);
    Game = GameState{};
    Game.Running = true;
    Game.StartLevel = startLevel;
    StartNewGame(cave);
}

GameRun PlayHeadless(int frames, const Replay* replay, bool stopAtExit, Recording* recording) {
    GameRun run;
    run.clock = Clock::Virtual;
    run.replay = replay;
    run.recording = recording;
    run.frames = frames;
    run.stopAtExit = stopAtExit;
    MainLoop(run);
    return run;
}

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
    StartHeadlessGame(static_cast<int16_t>(cave ? 1 : options.cave), static_cast<int16_t>(options.startLevel));
    const GameRun run = PlayHeadless(frames, &replay, !options.continueGame);
    UseCustomCave(nullptr);

    const bool stoppedAtExit = !options.continueGame && !run.exits.empty();
    if (options.continueGame)
        for (const CaveExit& exit : run.exits) PrintOutcome(out, "exit", exit);
    if (options.printGrid) PrintGrid(out);
    if (stoppedAtExit)
        PrintOutcome(out, "exit", run.exits.back());
    else
        PrintOutcome(out, OutcomeOf(),
                     {run.drawn, Game.CaveNumber, Game.JewelsCollected, Game.CaveTime, Game.Score, Game.Lives});
    return 0;
}
