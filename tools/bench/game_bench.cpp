// How fast the game runs without a screen: whole frames of busy caves, a copy of the
// state plus a frame (the unit of work of a search), and one fall pass over a full grid.
#include <benchmark/benchmark.h>

#include <string>

#include "core/caves.h"
#include "core/state.h"
#include "rules/fall.h"
#include "shell/headless.h"

namespace {

constexpr int SettleFrames = 40;  // the player has appeared, the cave is under way
constexpr int RunFrames = 400;    // then the run starts again from there

GameState CaveUnderWay(int cave) {
    StartHeadlessGame(static_cast<int16_t>(cave));
    PlayHeadless(SettleFrames);
    return Game;
}

void CaveFrames(benchmark::State& state) {
    const GameState start = CaveUnderWay(static_cast<int>(state.range(0)));
    int frame = 0;
    for (auto _ : state) {
        if (++frame == RunFrames) {
            Game = start;
            frame = 0;
        }
        PlayHeadless(1);
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("frames");
}
BENCHMARK(CaveFrames)->Arg(16)->Arg(26)->Arg(27);

void SnapshotAndFrame(benchmark::State& state) {
    const GameState start = CaveUnderWay(27);
    for (auto _ : state) {
        Game = start;
        PlayHeadless(1);
        benchmark::DoNotOptimize(Game.Cave.cells.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("candidate states");
}
BENCHMARK(SnapshotAndFrame);

// Every cell of the play area holds a boulder or a jewel resting on the next: the pass
// looks at every object and moves none.
void FallPassFullGrid(benchmark::State& state) {
    Game = GameState{};
    for (int y = 1; y <= CaveHeight; ++y)
        for (int x = 1; x <= CaveWidth; ++x) {
            const bool edge = x == 1 || x == CaveWidth || y == 1 || y >= CaveHeight - 1;
            Game.Cave(x, y) = edge ? int16_t{SteelWall} : static_cast<int16_t>((x + y) % 2 ? Boulder : Jewel);
        }
    for (auto _ : state) {
        FallPass();
        benchmark::DoNotOptimize(Game.Cave.cells.data());
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("passes");
}
BENCHMARK(FallPassFullGrid);

}  // namespace

BENCHMARK_MAIN();
