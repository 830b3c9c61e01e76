#include "display/pictures.h"

#include "display/display.h"
#include "play/game_error.h"

std::string ProgramFolder = ".";

bool Load_BMP() {
    try {
        for (int i = 0; i < PictureCount; ++i) {
            const auto picture = static_cast<Picture>(i);
            const int width = picture == TitleBmp ? 640 : 32;
            const int height = picture == TitleBmp ? 480 : 32;
            LoadPictureFile(picture, ProgramFolder + PictureFiles[static_cast<size_t>(i)], width, height);
        }
        return true;
    } catch (const GameError& error) {
        ShowMessageBox("Fehler in der Load_BMP-Function\r" + ErrorText(error.number(), error.what()));
        return false;
    }
}
