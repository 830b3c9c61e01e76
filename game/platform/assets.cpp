#include "platform/assets.h"

#include <filesystem>

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
