// The sound-device output module: the engine decodes straight into 64 slots, each queued
// at the device and taken again only once the device has played it.
#include "sound_device.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <string>

#include "state.h"

namespace vortax {

namespace {

constexpr int32_t SlotCount = 64;
constexpr int32_t SlotBytes = 4608;  // one MPEG-1 frame of 16-bit stereo PCM
constexpr int32_t PollMilliseconds = 10;
constexpr int32_t PollLimit = 5000;  // about 50 seconds for one slot
constexpr int32_t Caps = 0x7FFFFF;
constexpr char Prefix[] = "/dev/wave/";
constexpr size_t PrefixLength = sizeof Prefix - 1;
constexpr char RateVariable[] = "OUTPUT.WAVE.PLAYBACK-RATE";

DeviceLayer* installed = nullptr;

DeviceLayer& Layer() { return installed ? *installed : SystemLayer(); }

struct Slot {
    std::unique_ptr<uint8_t[]> buffer;
    bool queued = false;            // the device may still read the buffer
    std::atomic<bool> done{false};  // set by the device's notice
};

struct SoundOutput final : DeviceListener {
    int32_t id = 0;
    EngineContext* context = nullptr;
    DeviceLayer* layer = nullptr;
    int32_t device = DefaultDevice;
    uint32_t key = 0;  // the watcher's user value
    void* watcher = nullptr;
    std::array<Slot, SlotCount> slots;
    int32_t current = 0;
    std::atomic<int32_t> queued{0};
    float balance = 0.5f;
    uint32_t savedVolume = 0;
    bool muted = false;
    int32_t frequency = 44100;
    int32_t stereo = 1;
    uint32_t rate = 0;  // 16.16 playback-rate factor, 0 for none
    std::unique_ptr<DeviceMixer> mixer;
    MixerControl control;
    // Declared last so that it is closed before the slots it reads go.
    std::unique_ptr<PlaybackDevice> handle;

    void Opened() override { queued.store(0); }
    void Played(int32_t block) override {
        slots[static_cast<size_t>(block)].done.store(true);
        queued.fetch_sub(1);
    }
    void Closed() override { queued.store(0); }
};

// Watcher user values are 32 bits wide, too narrow for a pointer: instances are found by key.
std::mutex instancesLock;
std::map<uint32_t, SoundOutput*> instances;
uint32_t lastKey = 0;

SoundOutput* ByKey(uint32_t key) {
    std::lock_guard guard(instancesLock);
    const auto found = instances.find(key);
    return found == instances.end() ? nullptr : found->second;
}

// Waits until the device has played the slot, for about 50 seconds at most.
void Free(SoundOutput& output, int32_t index) {
    Slot& slot = output.slots[static_cast<size_t>(index)];
    if (!slot.queued) return;
    for (int32_t polls = 0; !slot.done.load() && polls < PollLimit; ++polls) output.layer->Sleep(PollMilliseconds);
    output.handle->Release(index);
    slot.queued = false;
}

void Drain(SoundOutput& output) {
    if (output.handle) output.handle->Restart();  // it may be paused
    for (int32_t index = 0; index < SlotCount; ++index) Free(output, index);
}

void CloseDevice(SoundOutput& output) {
    if (!output.handle) return;
    Drain(output);
    output.handle->Reset();
    output.handle.reset();
}

// ALSA has no playback-rate control: a rate factor opens the device at the rate it gives.
int32_t OpenDevice(SoundOutput& output, int32_t frequency, int32_t stereo) {
    CloseDevice(output);
    output.frequency = frequency;
    output.stereo = stereo;
    const int32_t played =
        output.rate ? static_cast<int32_t>((static_cast<int64_t>(frequency) * output.rate) >> 16) : frequency;
    switch (output.layer->Open(output.device, played, stereo ? 2 : 1, output, output.handle)) {
        case DeviceOpen::Opened:
            break;
        case DeviceOpen::NoDevice:
            return VORTAX_NO_SUCH_DEVICE_NAME;
        case DeviceOpen::Busy:
            return VORTAX_DEVICE_BUSY;
        case DeviceOpen::Failed:
            return VORTAX_OPEN_FAILED;
    }
    const uint32_t volume = output.handle->Volume();
    const auto left = static_cast<float>(volume & 0xFFFF);
    const auto right = static_cast<float>(volume >> 16);
    output.balance = volume != 0 ? right / (left + right) : 0.5f;
    return VORTAX_OK;
}

// Without a mixer the module still plays; only the PCM level goes unanswered.
void OpenMixer(SoundOutput& output) {
    std::unique_ptr<DeviceMixer> mixer;
    if (const int32_t error = output.handle->OpenMixer(mixer); error != 0) {
        Notify(output.context, output.id, "cannot open mixer", std::to_string(error).c_str());
        return;
    }
    MixerCaps caps;
    if (mixer->Caps(caps) != 0) return;
    char text[600];
    std::snprintf(text, sizeof text, "mixer caps: mid=%d, pid=%d, version=%d.%d, name=%s, %d destinations",
                  caps.manufacturer, caps.product, caps.major, caps.minor, caps.name.c_str(), caps.destinations);
    Notify(output.context, output.id, text, "");
    MixerControl control;
    if (mixer->FindVolume(control) != 0) return;
    std::snprintf(text, sizeof text, "mixer control: name=%s, min=%d, max=%d, steps=%d", control.name.c_str(),
                  control.minimum, control.maximum, control.steps);
    Notify(output.context, output.id, text, "");
    output.control = control;
    output.mixer = std::move(mixer);
}

uint32_t LouderHalf(uint32_t volume) { return std::max(volume & 0xFFFF, volume >> 16); }

uint32_t Half(double value) { return static_cast<uint32_t>(std::clamp(value, 0.0, 65535.0)); }

void SetDeviceVolume(SoundOutput& output, uint32_t volume) {
    if (output.handle) output.handle->SetVolume(volume);
}

// The variable holds the 16.16 factor as its pointer value; removing it plays at the
// stream's own rate again.
void RateChanged(uint32_t user, const char*, const void* value) {
    SoundOutput* output = ByKey(user);
    if (!output) return;
    void* factor = nullptr;
    if (value && output->context->get_pointer(output->context, RateVariable, &factor) != VORTAX_OK) return;
    output->rate = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(factor));
    if (output->handle) OpenDevice(*output, output->frequency, output->stereo);
}

int32_t Probe(const char* name) { return !name || !*name || std::strncmp(name, Prefix, PrefixLength) == 0 ? 0 : 1; }

int32_t Query(ModuleInfo* info, int32_t flags) {
    if (!info) return VORTAX_INVALID_PARAMETERS;
    const int32_t asked = info->index;
    DeviceLayer& layer = Layer();
    if (flags & VORTAX_MODULE_INFO_NAME) {
        std::snprintf(info->name, sizeof info->name, "%s", "Win32 Sound Driver Interface");
        std::snprintf(info->description, sizeof info->description, "%s", "Version 1.2");
    }
    if (flags & VORTAX_MODULE_INFO_COUNT) info->index = layer.Count() + 1;
    if (!(flags & VORTAX_MODULE_INFO_NAME) && (flags & VORTAX_MODULE_INFO_DEVICE)) {
        if (asked < 0 || asked > layer.Count()) return VORTAX_INVALID_PARAMETERS;
        std::string description;
        if (!layer.Describe(asked == 0 ? DefaultDevice : asked - 1, description)) return VORTAX_NO_SUCH_DEVICE;
        std::snprintf(info->name, sizeof info->name, "%s%d", Prefix, asked);
        std::snprintf(info->description, sizeof info->description, "%s", description.c_str());
        info->device_flags = asked == 0 ? VORTAX_DEVICE_DEFAULT : 0;
    }
    return VORTAX_OK;
}

int32_t Delete(void* instance) {
    auto* output = static_cast<SoundOutput*>(instance);
    output->handle.reset();
    if (output->watcher) output->context->remove_watcher(output->context, output->watcher);
    {
        std::lock_guard guard(instancesLock);
        instances.erase(output->key);
    }
    delete output;
    return VORTAX_OK;
}

// "" is the default device; otherwise "/dev/wave/" and one digit: 0 the default device,
// d the layer's device d - 1.
int32_t New(void** instance, const char* name, const ModuleRecord* module, EngineContext* context) {
    if (!instance || !module || !context) return VORTAX_INVALID_PARAMETERS;
    const char* text = name ? name : "";
    int32_t device = DefaultDevice;
    if (*text) {
        if (std::strlen(text) != PrefixLength + 1 || std::strncmp(text, Prefix, PrefixLength) != 0 ||
            text[PrefixLength] < '0' || text[PrefixLength] > '9')
            return VORTAX_NO_SUCH_DEVICE_NAME;
        device = text[PrefixLength] == '0' ? DefaultDevice : text[PrefixLength] - '1';
    }
    auto* output = new (std::nothrow) SoundOutput;
    if (!output) return VORTAX_OUT_OF_MEMORY;
    output->id = module->id;
    output->context = context;
    output->layer = &Layer();
    output->device = device;
    for (Slot& slot : output->slots) {
        slot.buffer.reset(new (std::nothrow) uint8_t[SlotBytes]());
        if (!slot.buffer) {
            delete output;
            return VORTAX_OUT_OF_MEMORY;
        }
    }
    {
        std::lock_guard guard(instancesLock);
        output->key = ++lastKey;
        instances[output->key] = output;
    }
    if (const int32_t code = context->add_watcher(context, RateVariable, output->key, RateChanged, &output->watcher);
        code < 0) {
        Delete(output);
        return code;
    }
    *instance = output;
    return VORTAX_OK;
}

int32_t Open(void* instance) {
    auto& output = *static_cast<SoundOutput*>(instance);
    output.handle.reset();
    output.mixer.reset();
    output.current = 0;
    output.queued.store(0);
    output.balance = 0.5f;
    output.savedVolume = 0;
    output.muted = false;
    for (Slot& slot : output.slots) {
        slot.queued = false;
        slot.done.store(false);
    }
    if (const int32_t code = OpenDevice(output, 44100, 1); code < 0) return code;
    OpenMixer(output);
    return VORTAX_OK;
}

int32_t Close(void* instance) {
    auto& output = *static_cast<SoundOutput*>(instance);
    CloseDevice(output);
    output.mixer.reset();
    return VORTAX_OK;
}

void* GetBuffer(void* instance, int32_t size) {
    auto& output = *static_cast<SoundOutput*>(instance);
    if (size > SlotBytes) return nullptr;
    Free(output, output.current);
    return output.slots[static_cast<size_t>(output.current)].buffer.get();
}

// Format changes come through set control, so width, stereo flag and frequency go unused.
int32_t Write(void* instance, const void* buffer, int32_t size, int32_t, int32_t, int32_t) {
    auto& output = *static_cast<SoundOutput*>(instance);
    if (!output.handle || !buffer || size < 0 || size > SlotBytes) return VORTAX_WRITE_FAILED;
    if (size == 0) return 0;  // a frame cut away whole leaves nothing to play
    const int32_t index = output.current;
    Slot& slot = output.slots[static_cast<size_t>(index)];
    // A block not decoded into the slot (a client or filter writing its own) is copied in.
    if (buffer != slot.buffer.get()) {
        Free(output, index);
        std::memmove(slot.buffer.get(), buffer, static_cast<size_t>(size));
    }
    output.current = (index + 1) % SlotCount;
    slot.done.store(false);
    // Counted before queueing: the device may report the block played before Queue returns.
    output.queued.fetch_add(1);
    if (!output.handle->Queue(index, slot.buffer.get(), size)) {
        output.queued.fetch_sub(1);
        return VORTAX_WRITE_FAILED;
    }
    slot.queued = true;
    return size;
}

int32_t SetControl(void* instance, const OutputControl* record, int32_t mask) {
    auto& output = *static_cast<SoundOutput*>(instance);
    if (!record && (mask & ControlFieldBits)) return VORTAX_INVALID_PARAMETERS;
    if (mask & VORTAX_COMMAND_RESET) {
        if (output.handle) output.handle->Reset();
        Drain(output);
    }
    if (mask & VORTAX_COMMAND_DRAIN) Drain(output);
    if ((mask & VORTAX_COMMAND_PAUSE) && output.handle) output.handle->Pause();
    if ((mask & VORTAX_COMMAND_RESTART) && output.handle) output.handle->Restart();
    if (mask & (VORTAX_CONTROL_FREQUENCY | VORTAX_CONTROL_STEREO)) {
        if (const int32_t code = OpenDevice(output, record->frequency, record->stereo); code < 0) return code;
    }
    if (mask & VORTAX_COMMAND_MUTE) {
        output.muted = true;
        SetDeviceVolume(output, 0);
    }
    if (mask & VORTAX_COMMAND_UNMUTE) {
        output.muted = false;
        SetDeviceVolume(output, output.savedVolume);
    }
    if ((mask & VORTAX_CONTROL_PCM_LEVEL) && output.mixer) {
        const int64_t range = output.control.maximum - output.control.minimum;
        output.mixer->SetValue(static_cast<int32_t>(output.control.minimum + range * record->pcm_level / 100));
    }
    if (mask & VORTAX_CONTROL_BALANCE) output.balance = static_cast<float>(record->balance) / 100.0f;
    if (mask & (VORTAX_CONTROL_MASTER_LEVEL | VORTAX_CONTROL_BALANCE)) {
        const double level = (mask & VORTAX_CONTROL_MASTER_LEVEL) ? static_cast<double>(Half(record->master_level * 655.35))
                                                           : static_cast<double>(LouderHalf(output.savedVolume));
        const double balance = output.balance;
        const uint32_t left = balance > 0.5 ? Half((1.0 - balance) * level * 2.0) : Half(level);
        const uint32_t right = balance > 0.5 ? Half(level) : Half(balance * level * 2.0);
        output.savedVolume = left | (right << 16);
        if (!output.muted) SetDeviceVolume(output, output.savedVolume);
    }
    return VORTAX_OK;
}

int32_t GetControl(void* instance, OutputControl* record, int32_t mask) {
    auto& output = *static_cast<SoundOutput*>(instance);
    if (!record) return VORTAX_INVALID_PARAMETERS;
    if ((mask & VORTAX_CONTROL_PCM_LEVEL) && output.mixer) {
        int32_t value = 0;
        const int64_t range = output.control.maximum - output.control.minimum;
        record->pcm_level =
            output.mixer->Value(value) == 0 && range != 0 ? static_cast<int32_t>(value * int64_t{100} / range) : 0;
    }
    if (mask & VORTAX_CONTROL_MASTER_LEVEL)
        record->master_level = static_cast<int32_t>(LouderHalf(output.savedVolume) * uint32_t{100} / 65536);
    if (mask & VORTAX_CONTROL_BALANCE) record->balance = static_cast<int32_t>(output.balance * 100.0f);
    return VORTAX_OK;
}

int32_t Delay(void*, int32_t* value) {
    if (value) *value = 0;
    return VORTAX_OK;
}

int32_t CapsOf(void*) { return Caps; }

}  // namespace

void UseDeviceLayer(DeviceLayer* layer) { installed = layer; }

int32_t QueuedBlocks(const void* instance) { return static_cast<const SoundOutput*>(instance)->queued.load(); }

}  // namespace vortax

using namespace vortax;

extern "C" {
const OutputMethods SoundDeviceOutputModule = {Probe, Query,      New,        Delete, Open,   Close,  Write,
                                               GetBuffer, SetControl, GetControl, Delay, CapsOf, nullptr};
}
