// Display and sound devices that write down what the game asks of them, on a clock
// the test moves.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/display.h"
#include "platform/sound.h"

// A colour as the fakes write it down: "#RRGGBB".
std::string ColourText(Colour colour);

struct CopyCall {
    Picture picture;
    SourceRect rect;
    int x;
    int y;
};

class FakeDisplay : public DisplayDevice {
public:
    std::vector<std::string> log;
    std::vector<CopyCall> copies;
    std::vector<std::pair<uint32_t, uint32_t>> waits;  // (at, for how long)
    uint32_t now = 0;
    uint32_t flipCost = 0;  // milliseconds a flip takes
    // Runs at every event pump after the clock has moved on by one millisecond.
    std::function<void()> onPump;
    // Posted at the next event pump.
    std::vector<WindowEvent> posted;
    // Set to make the named call throw.
    std::string failing;

    void Open() override { Record("Open"); }
    void Close() override { Record("Close"); }
    void LoadPicture(Picture, const std::string& path, int width, int height) override {
        Record("LoadPicture " + path + " " + std::to_string(width) + "x" + std::to_string(height));
    }
    void Fill(Colour colour) override { Record("Fill " + ColourText(colour)); }
    void Copy(Picture picture, const SourceRect& rect, int x, int y) override {
        copies.push_back({picture, rect, x, y});
    }
    void Text(const std::string& text, int x, int y, Colour colour) override {
        Record("Text " + text + " " + std::to_string(x) + "," + std::to_string(y) + " " + ColourText(colour));
    }
    void Flip() override {
        Record("Flip " + std::to_string(now));
        now += flipCost;
    }
    void SaveScreenshot(const std::string& path) override { Record("Screenshot " + path); }
    uint32_t Ticks() override { return now; }
    void ShowWindow() override { Record("ShowWindow"); }
    void ShowPointer(bool shown) override { Record(shown ? "ShowPointer" : "HidePointer"); }
    void PumpEvents(EventQueue& queue) override {
        ++now;
        if (onPump) onPump();
        queue.insert(queue.end(), posted.begin(), posted.end());
        posted.clear();
    }
    void WaitForEvents(uint32_t milliseconds) override { waits.push_back({now, milliseconds}); }
    int AverageCharWidth() override { return 7; }
    void ShowMessage(const std::string& text) override { Record("Message " + text); }

private:
    void Record(const std::string& call);
};

class FakeSound : public SoundDevice {
public:
    std::vector<std::string> log;
    int failingLoad = -1;  // the sound whose file is missing
    std::string failingOpen;  // set: Open fails for this reason

    void Open() override;
    void Close() override { log.push_back("Close"); }
    void Load(Sound sound, const std::string& path) override;
    void Play(Sound sound, bool looping) override {
        log.push_back((looping ? "Loop " : "Play ") + std::to_string(sound));
    }
    void Stop(Sound sound) override { log.push_back("Stop " + std::to_string(sound)); }
};
