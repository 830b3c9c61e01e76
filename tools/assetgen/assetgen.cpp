// assetgen: writes the game's pictures and sounds into a folder.
#include <cstring>
#include <exception>
#include <iostream>

#include "media.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::cout << "usage: assetgen FOLDER\n\nWrites the game's 38 pictures (.bmp) and 17 sounds (.wav) into FOLDER.\n";
        return 0;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::cerr << "assetgen: expected one folder (try --help)\n";
        return 2;
    }
    try {
        const std::string folder = argv[1];
        for (const auto& [name, image] : DrawPictures()) WriteBmp(folder + "/" + name, image);
        for (const auto& [name, wave] : SynthesizeSounds()) WriteWav(folder + "/" + name, wave);
    } catch (const std::exception& error) {
        std::cerr << "assetgen: " << error.what() << "\n";
        return 1;
    }
    return 0;
}
