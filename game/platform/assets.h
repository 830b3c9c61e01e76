// The game's 38 pictures and 17 sound effects: names, load order and files, and the
// folder they are read from.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// A picture is its place in the load order below.
enum class Picture : uint8_t {};

constexpr int PictureCount = 38;

// Animated things are arrays picked by an animation counter; still things are single.
inline constexpr std::array<Picture, 5> PlayerBmp{Picture{0}, Picture{1}, Picture{2}, Picture{3}, Picture{4}};
inline constexpr std::array<Picture, 3> JewelBmp{Picture{5}, Picture{6}, Picture{7}};
inline constexpr std::array<Picture, 3> FireflyBmp{Picture{8}, Picture{9}, Picture{10}};
inline constexpr std::array<Picture, 3> ButterflyBmp{Picture{11}, Picture{12}, Picture{13}};
inline constexpr Picture EarthBmp{14};
inline constexpr Picture EmptyBmp{15};
inline constexpr Picture SteelBmp{16};
inline constexpr Picture BrickBmp{17};
inline constexpr Picture BoulderBmp{18};
inline constexpr std::array<Picture, 3> DoorBmp{Picture{19}, Picture{20}, Picture{21}};
inline constexpr std::array<Picture, 3> MagicWallBmp{Picture{22}, Picture{23}, Picture{24}};
inline constexpr std::array<Picture, 2> AmoebaBmp{Picture{25}, Picture{26}};
inline constexpr std::array<Picture, 10> ExploBmp{Picture{27}, Picture{28}, Picture{29}, Picture{30}, Picture{31},
                                                  Picture{32}, Picture{33}, Picture{34}, Picture{35}, Picture{36}};
inline constexpr Picture TitleBmp{37};

// File names in load order, each starting with the separator that joins it to the
// program's folder.
inline constexpr std::array<const char*, PictureCount> PictureFiles{
    "/Nuvo.bmp",       "/Nuvo1.bmp",      "/Nuvo2.bmp",      "/Nuvo3.bmp",      "/Nuvo4.bmp",
    "/diamant31.bmp",  "/diamant21.bmp",  "/diamant11.bmp",  "/firefly11.bmp",  "/firefly21.bmp",
    "/firefly31.bmp",  "/butterfly11.bmp", "/butterfly21.bmp", "/butterfly31.bmp", "/earth.bmp",
    "/empty.bmp",      "/steel.bmp",      "/brick.bmp",      "/boulder.bmp",    "/inout1.bmp",
    "/inout2.bmp",     "/inout3.bmp",     "/magicwall1.bmp", "/magicwall2.bmp", "/magicwall3.bmp",
    "/amoeba1.bmp",    "/amoeba2.bmp",    "/explo1.bmp",     "/explo2.bmp",     "/explo3.bmp",
    "/explo4.bmp",     "/explo5.bmp",     "/explo6.bmp",     "/explo7.bmp",     "/explo8.bmp",
    "/explo9.bmp",     "/explo10.bmp",    "/kv001.bmp",
};

// The sound effects, in load order.
enum Sound : uint8_t {
    SndStep,
    SndPling,
    SndBoulder,
    SndStart,
    SndExplo,
    SndEx2,
    SndLive,
    SndBoing,
    SndFinish,
    SndTime,
    SndTimeout,
    SndAmoe,
    SndAmoe2,
    SndBonus,
    SndBonus2,
    SndInfo,
    SndTheme,
};

constexpr int SoundCount = 17;

inline constexpr std::array<const char*, SoundCount> SoundFiles{
    "/kvstep.wav",    "/kvpling.wav", "/kvboulder.wav", "/kvstart.wav", "/kvexplo.wav", "/kvex2.wav",
    "/kvlive.wav",    "/kvboing.wav", "/kvfinish.wav",  "/kvtime.wav",  "/kvtimeout.wav", "/kvamoe.wav",
    "/kvamoe2.wav",   "/kvbonus.wav", "/kvbonus2.wav",  "/kvinfo.wav",  "/kvtheme.wav",
};

// The folder the program reads its pictures and sounds from.
extern std::string ProgramFolder;

// The game's own folder for a program in `executableFolder`: that folder itself when it
// holds any of the game's files (a build folder), else the installed ../share/kelvoro
// beside it when that exists. Failing both it stays the executable's folder, so that a
// missing file is reported where a build would have put it.
std::string DataFolderFor(const std::string& executableFolder);

// DataFolderFor the running program.
std::string RunningProgramFolder();
