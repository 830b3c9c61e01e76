#include "render/cells.h"

#include "core/grid.h"
#include "core/state.h"
#include "platform/display.h"

void DrawCell(int16_t x, int16_t y, int16_t code) {
    Picture picture;
    switch (code) {
        case FallingBoulder:
        case Boulder: picture = BoulderBmp; break;
        case FallingJewel:
        case Jewel: picture = JewelBmp[0]; break;
        case Player: picture = PlayerBmp[0]; break;
        case Empty: picture = EmptyBmp; break;
        case Earth: picture = EarthBmp; break;
        case EnchantedWall:
        case BrickWall: picture = BrickBmp; break;
        case Amoeba: picture = AmoebaBmp[0]; break;
        case Butterfly: picture = ButterflyBmp[0]; break;
        case Firefly: picture = FireflyBmp[0]; break;
        case SteelWall: picture = SteelBmp; break;
        case ExitDoor: picture = DoorBmp[0]; break;
        default: return;  // an explosion cell, or no object at all
    }
    DrawPictureInCell(x, y, picture);
}

void DrawPictureInCell(int16_t x, int16_t y, Picture picture) {
    DrawCellPicture(picture, x, y, Game.ScrollX, Game.ScrollY);
}
