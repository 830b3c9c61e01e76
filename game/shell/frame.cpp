#include "shell/frame.h"

#include "core/state.h"
#include "render/cells.h"
#include "render/view.h"
#include "rules/fall.h"

namespace {

// While paused the player cycles through the four pause pictures, ten frames each
// (nine for the last).
void DrawPausePose() {
    ++Game.PauseBlink;
    if (Game.PauseBlink >= 40) Game.PauseBlink = 1;
    for (int16_t pose = 1; pose <= 4; ++pose)
        if (Game.PauseBlink > 10 * (pose - 1))
            DrawPictureInCell(Game.PlayerX, Game.PlayerY, PlayerBmp[static_cast<size_t>(pose)]);
}

}  // namespace

void GameFrame() {
    ++Game.AnimFrame;
    if (Game.AnimFrame == 3) Game.AnimFrame = 0;
    if (Game.Paused) DrawPausePose();
    RedrawCave();
    CaveStep();
    DrawStatusLine();
}
