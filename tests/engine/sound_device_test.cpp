#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "sound_device.h"

using namespace vortax;

namespace {

constexpr int32_t SlotBytes = 4608;
constexpr char RateVariable[] = "OUTPUT.WAVE.PLAYBACK-RATE";

std::string Hex(uint32_t word) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", word);
    return text;
}

void* Factor(uint32_t factor) { return reinterpret_cast<void*>(static_cast<uintptr_t>(factor)); }

struct QueuedBlock {
    int32_t block;
    const void* data;
    Bytes bytes;
};

// A platform that plays only when the test says so: every notice comes from the test's
// own thread, at a known moment.
class FakeLayer final : public DeviceLayer {
public:
    std::vector<std::string> descriptions{"Card One: Analog", "Card Two: Digital"};
    bool describeFails = false;
    std::set<int32_t> busy;
    bool openFails = false;
    bool queueRefused = false;
    bool playAtOnce = false;  // every block is played as it is queued
    std::map<int32_t, uint32_t> volumes;
    std::vector<std::string> log;
    std::deque<QueuedBlock> queue;  // of the open device, oldest first
    std::vector<QueuedBlock> queued;  // every block ever queued
    DeviceListener* listener = nullptr;
    int sleeps = 0;
    int32_t slept = 0;  // milliseconds
    std::function<void()> onSleep;
    int32_t mixerError = 0;
    int32_t capsError = 0;
    int32_t controlError = 0;
    int32_t valueError = 0;
    int32_t mixerValue = 0;
    MixerCaps mixerCaps{3, 7, 1, 2, "Fake Mixer", 2};
    MixerControl mixerControl{"Master", 0, 31, 31};

    int32_t Count() override { return static_cast<int32_t>(descriptions.size()); }

    bool Describe(int32_t device, std::string& description) override {
        if (describeFails) return false;
        description = device == DefaultDevice ? "Fake Default" : descriptions.at(static_cast<size_t>(device));
        return true;
    }

    DeviceOpen Open(int32_t device, int32_t frequency, int32_t channels, DeviceListener& opener,
                    std::unique_ptr<PlaybackDevice>& opened) override;

    void Sleep(int32_t milliseconds) override {
        ++sleeps;
        slept += milliseconds;
        if (onSleep) onSleep();
    }

    // The device plays the oldest `count` queued blocks.
    void Play(int count) {
        for (int i = 0; i < count && !queue.empty(); ++i) {
            const int32_t block = queue.front().block;
            queue.pop_front();
            listener->Played(block);
        }
    }

    std::vector<std::string> Opens() const {
        std::vector<std::string> opens;
        for (const std::string& line : log)
            if (line.rfind("open ", 0) == 0) opens.push_back(line);
        return opens;
    }
};

class FakeMixer final : public DeviceMixer {
public:
    explicit FakeMixer(FakeLayer& layer) : layer_(layer) {}
    ~FakeMixer() override { layer_.log.push_back("mixer closed"); }
    int32_t Caps(MixerCaps& caps) override {
        caps = layer_.mixerCaps;
        return layer_.capsError;
    }
    int32_t FindVolume(MixerControl& control) override {
        control = layer_.mixerControl;
        return layer_.controlError;
    }
    int32_t Value(int32_t& value) override {
        value = layer_.mixerValue;
        return layer_.valueError;
    }
    int32_t SetValue(int32_t value) override {
        layer_.mixerValue = value;
        layer_.log.push_back("mixer " + std::to_string(value));
        return 0;
    }

private:
    FakeLayer& layer_;
};

class FakeDevice final : public PlaybackDevice {
public:
    FakeDevice(FakeLayer& layer, int32_t device, DeviceListener& listener)
        : layer_(layer), device_(device), listener_(listener) {
        layer_.listener = &listener_;
        listener_.Opened();
    }
    ~FakeDevice() override {
        layer_.log.push_back("close");
        layer_.queue.clear();
        listener_.Closed();
        layer_.listener = nullptr;
    }
    bool Queue(int32_t block, const void* data, int32_t size) override {
        layer_.log.push_back("queue " + std::to_string(block) + " " + std::to_string(size));
        if (layer_.queueRefused) return false;
        const auto* bytes = static_cast<const uint8_t*>(data);
        QueuedBlock queued{block, data, Bytes(bytes, bytes + size)};
        layer_.queued.push_back(queued);
        layer_.queue.push_back(queued);
        if (layer_.playAtOnce) layer_.Play(1);
        return true;
    }
    void Release(int32_t block) override {
        std::erase_if(layer_.queue, [block](const QueuedBlock& queued) { return queued.block == block; });
    }
    void Pause() override { layer_.log.push_back("pause"); }
    void Restart() override { layer_.log.push_back("restart"); }
    void Reset() override {
        layer_.log.push_back("reset");
        layer_.Play(static_cast<int>(layer_.queue.size()));
    }
    uint32_t Volume() override {
        const auto found = layer_.volumes.find(device_);
        return found == layer_.volumes.end() ? 0xFFFFFFFF : found->second;
    }
    void SetVolume(uint32_t volume) override {
        layer_.volumes[device_] = volume;
        layer_.log.push_back("volume " + Hex(volume));
    }
    int32_t OpenMixer(std::unique_ptr<DeviceMixer>& mixer) override {
        if (layer_.mixerError != 0) return layer_.mixerError;
        mixer = std::make_unique<FakeMixer>(layer_);
        return 0;
    }

private:
    FakeLayer& layer_;
    int32_t device_;
    DeviceListener& listener_;
};

DeviceOpen FakeLayer::Open(int32_t device, int32_t frequency, int32_t channels, DeviceListener& opener,
                           std::unique_ptr<PlaybackDevice>& opened) {
    if (device != DefaultDevice && device >= Count()) return DeviceOpen::NoDevice;
    if (busy.contains(device)) return DeviceOpen::Busy;
    if (openFails) return DeviceOpen::Failed;
    log.push_back("open " + std::to_string(device) + " " + std::to_string(frequency) + " " + std::to_string(channels));
    opened = std::make_unique<FakeDevice>(*this, device, opener);
    return DeviceOpen::Opened;
}

class SoundDeviceTest : public EngineTest {
protected:
    FakeLayer fake;
    int32_t module = 0;

    void SetUp() override {
        EngineTest::SetUp();
        UseDeviceLayer(&fake);
        module = register_output_module(context, &SoundDeviceOutputModule);
        ASSERT_EQ(module, 1);
    }

    void TearDown() override {
        EngineTest::TearDown();
        UseDeviceLayer(nullptr);
    }

    int32_t Open(const char* name) {
        if (const int32_t code = output_select(context, name, -1); code < 0) return code;
        return output_open(context);
    }

    void* Instance() const { return context->output.instance; }

    void* Buffer() { return SoundDeviceOutputModule.get_buffer(Instance(), SlotBytes); }

    // Decodes nothing, but goes through a slot as the engine does.
    int32_t WriteBlock(int32_t size = SlotBytes) {
        void* buffer = Buffer();
        std::memset(buffer, 0x5A, static_cast<size_t>(size));
        return output_write(context, buffer, size, 2, 1, 44100);
    }

    int32_t SetControl(int32_t mask, OutputControl record = {}) { return output_set_control(context, &record, mask); }

    OutputControl GetControl(int32_t mask, OutputControl record = {}) {
        EXPECT_EQ(output_get_control(context, &record, mask), 0);
        return record;
    }
};

TEST_F(SoundDeviceTest, DescribesItselfAndEachDevice) {
    ModuleInfo info{};
    ASSERT_EQ(output_module_info(context, module, &info, VORTAX_MODULE_INFO_NAME | VORTAX_MODULE_INFO_COUNT), 0);
    EXPECT_STREQ(info.name, "Win32 Sound Driver Interface");
    EXPECT_STREQ(info.description, "Version 1.2");
    EXPECT_EQ(info.index, 3);

    info.index = 0;
    ASSERT_EQ(output_module_info(context, module, &info, VORTAX_MODULE_INFO_DEVICE), 0);
    EXPECT_STREQ(info.name, "/dev/wave/0");
    EXPECT_STREQ(info.description, "Fake Default");
    EXPECT_EQ(info.device_flags, VORTAX_DEVICE_DEFAULT);

    info.index = 2;
    ASSERT_EQ(output_module_info(context, module, &info, VORTAX_MODULE_INFO_DEVICE), 0);
    EXPECT_STREQ(info.name, "/dev/wave/2");
    EXPECT_STREQ(info.description, "Card Two: Digital");
    EXPECT_EQ(info.device_flags, 0);

    info.index = 3;
    EXPECT_EQ(output_module_info(context, module, &info, VORTAX_MODULE_INFO_DEVICE), VORTAX_INVALID_PARAMETERS);
    info.index = -1;
    EXPECT_EQ(output_module_info(context, module, &info, VORTAX_MODULE_INFO_DEVICE), VORTAX_INVALID_PARAMETERS);
    fake.describeFails = true;
    info.index = 1;
    EXPECT_EQ(output_module_info(context, module, &info, VORTAX_MODULE_INFO_DEVICE), VORTAX_NO_SUCH_DEVICE);
}

TEST_F(SoundDeviceTest, TakesTheEmptyNameAndDeviceNamesOnly) {
    for (const char* name : {"", "/dev/wave/0", "/dev/wave/7", "/dev/wave/"})
        EXPECT_EQ(SoundDeviceOutputModule.probe(name), 0) << name;
    EXPECT_EQ(SoundDeviceOutputModule.probe(nullptr), 0);
    for (const char* name : {"wav:out.wav", "/dev/wav/1", "-", "out.pcm"})
        EXPECT_NE(SoundDeviceOutputModule.probe(name), 0) << name;

    // Registered last, it is asked first, and file names pass it by.
    ASSERT_EQ(output_select(context, "", -1), 0);
    EXPECT_EQ(context->output.module->id, module);
    ASSERT_EQ(output_select(context, ("wav:" + (folder / "out.wav").string()).c_str(), -1), 0);
    EXPECT_EQ(context->output.module->id, 0);
}

TEST_F(SoundDeviceTest, DeviceZeroAndTheEmptyNameAreTheDefaultDevice) {
    for (const char* name : {"/dev/wave/0", ""}) {
        ASSERT_EQ(Open(name), 0) << name;
        ASSERT_EQ(output_close(context), 0);
    }
    EXPECT_EQ(fake.Opens(), (std::vector<std::string>{"open -1 44100 2", "open -1 44100 2"}));
}

TEST_F(SoundDeviceTest, DeviceTwoIsThePlatformsSecondDevice) {
    ASSERT_EQ(Open("/dev/wave/2"), 0);
    EXPECT_EQ(fake.Opens(), std::vector<std::string>{"open 1 44100 2"});
}

TEST_F(SoundDeviceTest, NamesOfDevicesThatCannotExistAreRefused) {
    for (const char* name : {"/dev/wave/10", "/dev/wave/x", "/dev/wave/"})
        EXPECT_EQ(output_select(context, name, -1), VORTAX_NO_SUCH_DEVICE_NAME) << name;
    EXPECT_EQ(output_select(context, "/dev/wave/a", module), VORTAX_NO_SUCH_DEVICE_NAME);
    EXPECT_EQ(output_select(context, "wav:out.wav", module), VORTAX_NO_SUCH_DEVICE_NAME);
    // Device 5 has a good name, but the platform has two devices.
    EXPECT_EQ(Open("/dev/wave/5"), VORTAX_NO_SUCH_DEVICE_NAME);
    EXPECT_TRUE(fake.Opens().empty());
}

TEST_F(SoundDeviceTest, ATakenDeviceIsBusyAndOtherFailuresAreOpenFailures) {
    fake.busy = {1};
    EXPECT_EQ(Open("/dev/wave/2"), VORTAX_DEVICE_BUSY);
    EXPECT_EQ(error_name(VORTAX_DEVICE_BUSY), std::string("device busy"));
    EXPECT_EQ(Open("/dev/wave/1"), 0);
    ASSERT_EQ(output_close(context), 0);
    fake.openFails = true;
    EXPECT_EQ(Open("/dev/wave/1"), VORTAX_OPEN_FAILED);
}

TEST_F(SoundDeviceTest, TheEngineDecodesIntoSixtyFourZeroFilledSlotsInTurn) {
    ASSERT_EQ(Open(""), 0);
    EXPECT_EQ(context->output.caps, 0x7FFFFF);
    std::set<void*> buffers;
    for (int i = 0; i < 64; ++i) {
        auto* buffer = static_cast<uint8_t*>(Buffer());
        EXPECT_TRUE(std::all_of(buffer, buffer + SlotBytes, [](uint8_t byte) { return byte == 0; }));
        buffers.insert(buffer);
        ASSERT_EQ(output_write(context, buffer, SlotBytes, 2, 1, 44100), SlotBytes);
        EXPECT_EQ(fake.queued.back().data, buffer);  // queued in place, not copied
    }
    EXPECT_EQ(buffers.size(), 64u);
    EXPECT_EQ(QueuedBlocks(Instance()), 64);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(fake.queued[static_cast<size_t>(i)].block, i);
    // A larger buffer than a slot is not offered: the engine then uses its own.
    EXPECT_EQ(SoundDeviceOutputModule.get_buffer(Instance(), SlotBytes + 1), nullptr);
}

TEST_F(SoundDeviceTest, ASlotIsTakenAgainOnlyOnceTheDeviceHasPlayedIt) {
    ASSERT_EQ(Open(""), 0);
    void* first = Buffer();
    for (int i = 0; i < 64; ++i) ASSERT_EQ(WriteBlock(), SlotBytes);
    fake.onSleep = [this] {
        if (fake.sleeps == 3) fake.Play(1);
    };
    EXPECT_EQ(Buffer(), first);
    EXPECT_EQ(fake.sleeps, 3);
    EXPECT_EQ(fake.slept, 30);
    EXPECT_EQ(QueuedBlocks(Instance()), 63);

    // Slot 1's block played before it is asked for: no wait.
    ASSERT_EQ(WriteBlock(), SlotBytes);
    fake.Play(1);
    Buffer();
    EXPECT_EQ(fake.sleeps, 3);
}

TEST_F(SoundDeviceTest, TheWaitForASlotEndsAfterFiftySeconds) {
    ASSERT_EQ(Open(""), 0);
    void* first = Buffer();
    for (int i = 0; i < 64; ++i) ASSERT_EQ(WriteBlock(), SlotBytes);
    EXPECT_EQ(Buffer(), first);
    EXPECT_EQ(fake.sleeps, 5000);
    EXPECT_EQ(fake.slept, 50000);
    // The device gave the block back unplayed.
    ASSERT_EQ(fake.queue.size(), 63u);
    EXPECT_EQ(fake.queue.front().block, 1);
}

TEST_F(SoundDeviceTest, DrainRestartsTheDeviceAndWaitsForEveryQueuedBlock) {
    ASSERT_EQ(Open(""), 0);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(WriteBlock(), SlotBytes);
    fake.log.clear();
    fake.onSleep = [this] { fake.Play(1); };
    ASSERT_EQ(output_set_control(context, nullptr, VORTAX_COMMAND_DRAIN), 0);  // as the programs drain
    EXPECT_EQ(fake.log, std::vector<std::string>{"restart"});
    EXPECT_EQ(fake.sleeps, 10);
    EXPECT_TRUE(fake.queue.empty());
    EXPECT_EQ(QueuedBlocks(Instance()), 0);
}

TEST_F(SoundDeviceTest, ResetDropsEveryQueuedBlockWithoutWaiting) {
    ASSERT_EQ(Open(""), 0);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(WriteBlock(), SlotBytes);
    fake.log.clear();
    ASSERT_EQ(SetControl(VORTAX_COMMAND_RESET), 0);
    EXPECT_EQ(fake.log, (std::vector<std::string>{"reset", "restart"}));
    EXPECT_EQ(fake.sleeps, 0);
    EXPECT_EQ(QueuedBlocks(Instance()), 0);
}

TEST_F(SoundDeviceTest, PauseAndRestartGoToTheDevice) {
    ASSERT_EQ(Open(""), 0);
    fake.log.clear();
    ASSERT_EQ(SetControl(VORTAX_COMMAND_PAUSE), 0);
    ASSERT_EQ(SetControl(VORTAX_COMMAND_RESTART), 0);
    ASSERT_EQ(SetControl(VORTAX_COMMAND_PAUSE | VORTAX_COMMAND_RESTART), 0);
    EXPECT_EQ(fake.log, (std::vector<std::string>{"pause", "restart", "pause", "restart"}));
}

TEST_F(SoundDeviceTest, SetControlActsInItsOwnOrder) {
    ASSERT_EQ(Open(""), 0);
    fake.log.clear();
    OutputControl record{};
    record.frequency = 22050;
    record.stereo = 0;
    record.pcm_level = 50;
    record.master_level = 100;
    record.balance = 25;
    const int32_t everything = VORTAX_COMMAND_RESET | VORTAX_COMMAND_DRAIN | VORTAX_COMMAND_PAUSE | VORTAX_COMMAND_RESTART | VORTAX_CONTROL_FREQUENCY |
                               VORTAX_CONTROL_STEREO | VORTAX_COMMAND_MUTE | VORTAX_COMMAND_UNMUTE | VORTAX_CONTROL_PCM_LEVEL |
                               VORTAX_CONTROL_MASTER_LEVEL | VORTAX_CONTROL_BALANCE;
    ASSERT_EQ(SetControl(everything, record), 0);
    EXPECT_EQ(fake.log, (std::vector<std::string>{"reset", "restart",           // reset, then drain
                                                   "restart",                    // drain
                                                   "pause", "restart",           // pause, restart
                                                   "restart", "reset", "close",  // the reopen
                                                   "open -1 22050 1",
                                                   "volume 0x00000000",  // mute
                                                   "volume 0x00000000",  // unmute: nothing saved yet
                                                   "mixer 15",           // 31 x 50 / 100
                                                   "volume 0x7FFFFFFF"}));
}

TEST_F(SoundDeviceTest, AStreamThatTurnsTo22050HzMonoReopensTheDeviceOnce) {
    HeaderFields stereo44;
    stereo44.bitrate_index = 9;
    HeaderFields mono22;
    mono22.version_code = 0;
    mono22.bitrate_index = 8;
    mono22.mode = 3;
    Bytes stream = Frames(stereo44, 6);
    const Bytes second = Frames(mono22, 6);
    stream.insert(stream.end(), second.begin(), second.end());
    ASSERT_EQ(OpenInput(Write("change.mp3", stream)), 0);
    fake.playAtOnce = true;
    ASSERT_EQ(Open(""), 0);
    int32_t code = 0;
    while ((code = engine_decode_frame(context)) == 0) {
    }
    EXPECT_EQ(code, VORTAX_INPUT_END);

    // Opened by output_open, then at the first frame (which always announces its format),
    // then once at the change.
    EXPECT_EQ(fake.Opens(), (std::vector<std::string>{"open -1 44100 2", "open -1 44100 2", "open -1 22050 1"}));
    const auto change = std::find(fake.log.begin(), fake.log.end(), "open -1 22050 1");
    const auto firstBlock = std::find_if(fake.log.begin(), fake.log.end(),
                                         [](const std::string& line) { return line.rfind("queue", 0) == 0; });
    ASSERT_LT(firstBlock, change);
    EXPECT_EQ(std::count(firstBlock, change, "close"), 1);
    for (auto line = firstBlock; line != fake.log.end(); ++line) {
        if (line->rfind("queue", 0) != 0) continue;
        EXPECT_TRUE(line->ends_with(line < change ? " 4608" : " 1152")) << *line;
    }
    EXPECT_EQ(std::count_if(change, fake.log.end(), [](const std::string& line) { return line.rfind("queue", 0) == 0; }),
              6);
}

TEST_F(SoundDeviceTest, Balance25AtMasterLevel100GivesLeft65535AndRight32767) {
    ASSERT_EQ(Open(""), 0);
    OutputControl record{};
    record.master_level = 100;
    record.balance = 25;
    ASSERT_EQ(SetControl(VORTAX_CONTROL_MASTER_LEVEL | VORTAX_CONTROL_BALANCE, record), 0);
    EXPECT_EQ(Hex(fake.volumes[DefaultDevice]), Hex(0x7FFFFFFF));  // right 32767 high, left 65535 low
    const OutputControl read = GetControl(VORTAX_CONTROL_MASTER_LEVEL | VORTAX_CONTROL_BALANCE);
    EXPECT_EQ(read.master_level, 99);  // 65535 x 100 / 65536
    EXPECT_EQ(read.balance, 25);

    record.master_level = 50;
    record.balance = 75;
    ASSERT_EQ(SetControl(VORTAX_CONTROL_MASTER_LEVEL | VORTAX_CONTROL_BALANCE, record), 0);
    EXPECT_EQ(Hex(fake.volumes[DefaultDevice]), Hex(0x7FFF3FFF));  // right 32767, left 16383

    // The balance alone keeps the louder side's level.
    record.balance = 50;
    ASSERT_EQ(SetControl(VORTAX_CONTROL_BALANCE, record), 0);
    EXPECT_EQ(Hex(fake.volumes[DefaultDevice]), Hex(0x7FFF7FFF));
}

TEST_F(SoundDeviceTest, TheBalanceStartsFromTheDeviceVolume) {
    fake.volumes[DefaultDevice] = 0x4000FFFF;  // right 16384, left 65535
    ASSERT_EQ(Open(""), 0);
    EXPECT_EQ(GetControl(VORTAX_CONTROL_BALANCE).balance, 20);
    ASSERT_EQ(output_close(context), 0);
    fake.volumes[DefaultDevice] = 0;
    ASSERT_EQ(output_open(context), 0);
    EXPECT_EQ(GetControl(VORTAX_CONTROL_BALANCE).balance, 50);
}

TEST_F(SoundDeviceTest, MuteSilencesTheDeviceAndUnmuteGivesItTheSavedVolume) {
    ASSERT_EQ(Open(""), 0);
    OutputControl record{};
    record.master_level = 100;
    record.balance = 25;
    ASSERT_EQ(SetControl(VORTAX_CONTROL_MASTER_LEVEL | VORTAX_CONTROL_BALANCE, record), 0);
    ASSERT_EQ(SetControl(VORTAX_COMMAND_MUTE), 0);
    EXPECT_EQ(fake.volumes[DefaultDevice], 0u);
    record.master_level = 50;
    ASSERT_EQ(SetControl(VORTAX_CONTROL_MASTER_LEVEL, record), 0);
    EXPECT_EQ(fake.volumes[DefaultDevice], 0u);  // saved, not given while muted
    EXPECT_EQ(GetControl(VORTAX_CONTROL_MASTER_LEVEL).master_level, 49);
    ASSERT_EQ(SetControl(VORTAX_COMMAND_UNMUTE), 0);
    EXPECT_EQ(Hex(fake.volumes[DefaultDevice]), Hex(0x3FFF7FFF));  // right 16383, left 32767
}

TEST_F(SoundDeviceTest, TheMixerIsReportedAndFollowsThePcmLevel) {
    fake.mixerValue = 20;
    ASSERT_EQ(Open(""), 0);
    EXPECT_EQ(notes, (std::vector<std::string>{
                         "mixer caps: mid=3, pid=7, version=1.2, name=Fake Mixer, 2 destinations: ",
                         "mixer control: name=Master, min=0, max=31, steps=31: "}));
    EXPECT_EQ(GetControl(VORTAX_CONTROL_PCM_LEVEL).pcm_level, 64);  // 20 x 100 / 31
    OutputControl record{};
    record.pcm_level = 50;
    ASSERT_EQ(SetControl(VORTAX_CONTROL_PCM_LEVEL, record), 0);
    EXPECT_EQ(fake.mixerValue, 15);
    EXPECT_EQ(GetControl(VORTAX_CONTROL_PCM_LEVEL).pcm_level, 48);
    fake.valueError = -5;
    EXPECT_EQ(GetControl(VORTAX_CONTROL_PCM_LEVEL).pcm_level, 0);
    ASSERT_EQ(output_close(context), 0);
    EXPECT_EQ(fake.log.back(), "mixer closed");
}

TEST_F(SoundDeviceTest, WithoutAMixerTheDeviceStillPlays) {
    fake.mixerError = -19;
    ASSERT_EQ(Open(""), 0);
    EXPECT_EQ(notes, std::vector<std::string>{"cannot open mixer: -19"});
    OutputControl record{};
    record.pcm_level = 50;
    ASSERT_EQ(SetControl(VORTAX_CONTROL_PCM_LEVEL, record), 0);
    record.pcm_level = 77;
    EXPECT_EQ(GetControl(VORTAX_CONTROL_PCM_LEVEL, record).pcm_level, 77);
    EXPECT_EQ(WriteBlock(), SlotBytes);
    EXPECT_TRUE(std::none_of(fake.log.begin(), fake.log.end(),
                             [](const std::string& line) { return line.rfind("mixer", 0) == 0; }));
}

TEST_F(SoundDeviceTest, AMixerWithoutCapsOrVolumeControlIsLeftAside) {
    fake.capsError = -1;
    ASSERT_EQ(Open(""), 0);
    EXPECT_TRUE(notes.empty());
    ASSERT_EQ(output_close(context), 0);
    fake.capsError = 0;
    fake.controlError = -1;
    ASSERT_EQ(output_open(context), 0);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].rfind("mixer caps: ", 0), 0u);
    OutputControl record{};
    record.pcm_level = 50;
    ASSERT_EQ(SetControl(VORTAX_CONTROL_PCM_LEVEL, record), 0);
    EXPECT_EQ(std::find(fake.log.begin(), fake.log.end(), "mixer 15"), fake.log.end());
}

TEST_F(SoundDeviceTest, ThePlaybackRateReopensTheDeviceAtTheRateTimesTheFactor) {
    ASSERT_EQ(Open(""), 0);
    ASSERT_EQ(variable_set_pointer(context, RateVariable, Factor(0x18000)), 0);  // 1.5
    OutputControl record{};
    record.frequency = 22050;
    record.stereo = 0;
    ASSERT_EQ(SetControl(VORTAX_CONTROL_FREQUENCY | VORTAX_CONTROL_STEREO, record), 0);
    ASSERT_EQ(variable_remove(context, RateVariable), 0);
    // A text under that name is no factor.
    ASSERT_EQ(variable_set_string(context, RateVariable, "2"), 0);
    EXPECT_EQ(fake.Opens(),
              (std::vector<std::string>{"open -1 44100 2", "open -1 66150 2", "open -1 33075 1", "open -1 22050 1"}));

    // Set while the device is closed, the factor applies at the next open.
    ASSERT_EQ(variable_remove(context, RateVariable), 0);
    ASSERT_EQ(output_close(context), 0);
    fake.log.clear();
    ASSERT_EQ(variable_set_pointer(context, RateVariable, Factor(0x8000)), 0);  // 0.5
    EXPECT_TRUE(fake.log.empty());
    ASSERT_EQ(output_open(context), 0);
    EXPECT_EQ(fake.Opens(), std::vector<std::string>{"open -1 22050 2"});
}

TEST_F(SoundDeviceTest, ADeletedInstanceNoLongerWatchesTheRate) {
    ASSERT_EQ(Open(""), 0);
    ASSERT_EQ(output_close(context), 0);
    ASSERT_EQ(output_select(context, ("wav:" + (folder / "out.wav").string()).c_str(), -1), 0);
    fake.log.clear();
    ASSERT_EQ(variable_set_pointer(context, RateVariable, Factor(0x18000)), 0);
    EXPECT_TRUE(fake.log.empty());
}

TEST_F(SoundDeviceTest, ABlockTheDeviceRefusesIsNotCounted) {
    ASSERT_EQ(Open(""), 0);
    fake.queueRefused = true;
    EXPECT_EQ(WriteBlock(), VORTAX_WRITE_FAILED);
    EXPECT_EQ(QueuedBlocks(Instance()), 0);
    fake.queueRefused = false;
    EXPECT_EQ(WriteBlock(), SlotBytes);
    EXPECT_EQ(fake.queued.back().block, 1);
    EXPECT_EQ(fake.sleeps, 0);
}

TEST_F(SoundDeviceTest, AnEmptyBlockIsNotQueued) {
    ASSERT_EQ(Open(""), 0);
    EXPECT_EQ(output_write(context, Buffer(), 0, 2, 1, 44100), 0);
    EXPECT_TRUE(fake.queued.empty());
    EXPECT_EQ(WriteBlock(), SlotBytes);
    EXPECT_EQ(fake.queued.back().block, 0);
}

TEST_F(SoundDeviceTest, ABlockFromElsewhereIsCopiedIntoTheSlot) {
    ASSERT_EQ(Open(""), 0);
    Bytes own(100);
    for (size_t i = 0; i < own.size(); ++i) own[i] = static_cast<uint8_t>(i);
    EXPECT_EQ(output_write(context, own.data(), 100, 2, 1, 44100), 100);
    ASSERT_EQ(fake.queued.size(), 1u);
    EXPECT_NE(fake.queued[0].data, own.data());
    EXPECT_EQ(fake.queued[0].bytes, own);
    const Bytes tooLong(SlotBytes + 1);
    EXPECT_EQ(output_write(context, tooLong.data(), SlotBytes + 1, 2, 1, 44100), VORTAX_WRITE_FAILED);
}

TEST_F(SoundDeviceTest, CloseDrainsResetsAndClosesTheDevice) {
    ASSERT_EQ(Open(""), 0);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(WriteBlock(), SlotBytes);
    fake.onSleep = [this] { fake.Play(1); };
    fake.log.clear();
    ASSERT_EQ(output_close(context), 0);
    EXPECT_EQ(fake.sleeps, 3);
    EXPECT_EQ(fake.log, (std::vector<std::string>{"restart", "reset", "close", "mixer closed"}));
}

TEST_F(SoundDeviceTest, TheDelayIsZero) {
    ASSERT_EQ(Open(""), 0);
    int32_t delay = 5;
    EXPECT_EQ(SoundDeviceOutputModule.delay(Instance(), &delay), 0);
    EXPECT_EQ(delay, 0);
    EXPECT_EQ(SoundDeviceOutputModule.command, nullptr);
}

}  // namespace
