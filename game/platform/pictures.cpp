#include "platform/pictures.h"

#include <filesystem>

#include "common/game_error.h"
#include "platform/display.h"
#include "platform/sound.h"

std::string ProgramFolder = ".";

namespace {

bool HoldsGameFiles(const std::filesystem::path& folder) {
    const auto holds = [&](const char* name) { return std::filesystem::exists(folder.string() + name); };
    for (const char* name : PictureFiles)
        if (holds(name)) return true;
    for (const char* name : SoundFiles)
        if (holds(name)) return true;
    return false;
}

}  // namespace

std::string DataFolderFor(const std::string& executableFolder) {
    const std::filesystem::path installed = std::filesystem::path(executableFolder) / "../share/kelvoro";
    if (HoldsGameFiles(executableFolder) || !std::filesystem::is_directory(installed)) return executableFolder;
    return installed.lexically_normal().string();
}

std::string RunningProgramFolder() {
    return DataFolderFor(std::filesystem::canonical("/proc/self/exe").parent_path().string());
}

bool LoadPictures() {
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
