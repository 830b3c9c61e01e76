// cave-solver: searches the deterministic game for a way through a cave and prints it
// as a replay. A beam search over frames: in each frame the player makes at most one
// move, states that cost a life are dropped, and the beam keeps the states that have
// taken the most jewels and stand closest to the next one (or to the open exit).
#include <algorithm>
#include <cstdint>
#include <functional>
#include <iostream>
#include <queue>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "common/parse.h"
#include "core/caves.h"
#include "core/state.h"
#include "shell/headless.h"

namespace {

constexpr std::string_view Usage =
    "usage: cave-solver --cave N [--beam W] [--frames F] [--wait F]\n"
    "\n"
    "  --cave N     the cave to solve (1 to 30)\n"
    "  --beam W     states kept per frame (default 400)\n"
    "  --frames F   give up after F frames (default: the cave's time)\n"
    "  --wait F     make no move before frame F (default: as soon as the player appears)\n"
    "  --help       show this text\n"
    "\n"
    "Prints the replay of the first way out it finds, or exits 1.\n";

constexpr ReplayEvent Moves[] = {ReplayEvent::Left, ReplayEvent::Right, ReplayEvent::Up, ReplayEvent::Down};
constexpr int NoMove = -1;

struct Step {
    int parent;  // index in the previous frame's steps
    int move;    // index in Moves, or NoMove
};

struct Candidate {
    GameState state;
    Step step;
    double score;
};

bool Walkable(int16_t code) {
    return code == Empty || code == Earth || code == Jewel || code == FallingJewel || code == ExitDoor;
}

// Steps from the player to the nearest cell holding one of `targets`, through cells the
// player can enter; -1 when none is reachable.
int DistanceTo(std::initializer_list<int16_t> targets) {
    std::vector<int> distance((CaveWidth + 1) * (CaveHeight + 1), -1);
    std::queue<std::pair<int, int>> open;
    open.push({Game.PlayerX, Game.PlayerY});
    distance[static_cast<size_t>(Game.PlayerX + (CaveWidth + 1) * Game.PlayerY)] = 0;
    while (!open.empty()) {
        const auto [x, y] = open.front();
        open.pop();
        const int here = distance[static_cast<size_t>(x + (CaveWidth + 1) * y)];
        for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
            const int nx = x + dx;
            const int ny = y + dy;
            if (nx < 1 || nx > CaveWidth || ny < 1 || ny > CaveHeight) continue;
            int& seen = distance[static_cast<size_t>(nx + (CaveWidth + 1) * ny)];
            const int16_t code = Game.Cave(nx, ny);
            if (seen >= 0 || !Walkable(code)) continue;
            seen = here + 1;
            if (std::find(targets.begin(), targets.end(), code) != targets.end()) return seen;
            open.push({nx, ny});
        }
    }
    return -1;
}

double Score() {
    if (Game.JewelsNeeded < 0) {
        const int exit = DistanceTo({ExitDoor});
        return 1e6 - (exit < 0 ? 1000 : exit);
    }
    const int jewel = DistanceTo({Jewel, FallingJewel});
    return 1000.0 * Game.JewelsCollected - (jewel < 0 ? 500 : jewel);
}

size_t Fingerprint(const GameState& state) {
    size_t hash = std::hash<int>{}(state.PlayerX * 64 + state.PlayerY);
    for (int16_t cell : state.Cave.cells) hash = hash * 1099511628211u + static_cast<uint16_t>(cell);
    return hash;
}

void PrintReplay(int cave, const std::vector<std::vector<Step>>& history, int frame, int index) {
    std::vector<std::pair<int, int>> moves;  // (frame, move), last first
    for (int f = frame; f > 0; --f) {
        const Step& step = history[static_cast<size_t>(f)][static_cast<size_t>(index)];
        if (step.move != NoMove) moves.push_back({f, step.move});
        index = step.parent;
    }
    std::cout << "# cave " << cave << ", found by cave-solver\n";
    for (auto it = moves.rbegin(); it != moves.rend(); ++it)
        std::cout << it->first << " " << NameOf(Moves[it->second]) << "\n";
}

// The next frame from the state in Game, with the move (if any) played after it; true
// when the move entered the open exit.
bool Advance(int move) {
    Replay replay;
    if (move != NoMove) replay.steps.push_back({1, Moves[move]});
    return !PlayHeadless(1, &replay, true).exits.empty();
}

int Solve(int cave, size_t beam, int frames, int wait) {
    StartHeadlessGame(static_cast<int16_t>(cave));
    PlayHeadless(0);
    const int16_t lives = Game.Lives;
    std::vector<GameState> current{Game};
    std::vector<std::vector<Step>> history{{Step{-1, NoMove}}};

    for (int frame = 1; frame <= frames && !current.empty(); ++frame) {
        std::vector<Candidate> next;
        std::unordered_set<size_t> seen;
        for (size_t i = 0; i < current.size(); ++i) {
            bool canMove = false;
            for (int move = NoMove; move < 4 && (move == NoMove || canMove); ++move) {
                Game = current[i];
                const bool exited = Advance(move);
                if (move == NoMove) canMove = Game.BirthCounter == -1 && !Game.PlayerDead && frame >= wait;
                const Step step{static_cast<int>(i), move};
                if (exited) {
                    history.push_back({step});
                    PrintReplay(cave, history, frame, 0);
                    return 0;
                }
                if (Game.PlayerDead || Game.Lives < lives || !seen.insert(Fingerprint(Game)).second) continue;
                next.push_back({Game, step, Score()});
            }
        }
        const size_t keep = std::min(beam, next.size());
        std::partial_sort(next.begin(), next.begin() + static_cast<long>(keep), next.end(),
                          [](const Candidate& a, const Candidate& b) { return a.score > b.score; });
        next.resize(keep);
        current.clear();
        history.emplace_back();
        for (Candidate& candidate : next) {
            current.push_back(std::move(candidate.state));
            history.back().push_back(candidate.step);
        }
    }
    std::cerr << "cave-solver: no way out of cave " << cave << " found\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    int cave = 0;
    int beam = 400;
    int frames = -1;
    int wait = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help") {
            std::cout << Usage;
            return 0;
        }
        int* value = option == "--cave" ? &cave : option == "--beam" ? &beam : option == "--frames" ? &frames
                                                                       : option == "--wait"   ? &wait
                                                                                              : nullptr;
        if (!value) {
            std::cerr << "cave-solver: unknown option " << option << "\n";
            return 2;
        }
        if (i + 1 == argc || !ParseWholeNumber(argv[++i], *value, 0, 1 << 20)) {
            std::cerr << "cave-solver: " << option << " takes a number\n";
            return 2;
        }
    }
    if (cave < 1 || cave > CaveCount) {
        std::cerr << "cave-solver: --cave takes a cave number from 1 to 30\n";
        return 2;
    }
    if (frames < 0) frames = CaveTable[static_cast<size_t>(cave - 1)].CaveTime * 9;
    return Solve(cave, static_cast<size_t>(std::max(beam, 1)), frames, wait);
}
