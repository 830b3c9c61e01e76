// A test that starts from a fresh game drawing on a FakeDisplay, and playing its sounds on
// a FakeSound when the fixture asks for sound; the devices are taken away again after it.
#pragma once

#include <gtest/gtest.h>

#include "core/state.h"
#include "fake_devices.h"

class GameFixture : public ::testing::Test {
protected:
    FakeDisplay display;
    FakeSound sound;

    // Without sound the game has no sound device, as headless.
    explicit GameFixture(bool withSound = false) : withSound_(withSound) {}

    void SetUp() override {
        Game = GameState{};
        UseDisplayDevice(&display);
        if (withSound_) UseSoundDevice(&sound);
    }
    void TearDown() override {
        UseDisplayDevice(nullptr);
        if (withSound_) UseSoundDevice(nullptr);
    }

private:
    bool withSound_;
};
