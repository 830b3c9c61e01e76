// The sound-device output module and the device layer under it. The module keeps the
// slots, waits, formulas and control order; a device layer (ALSA, one without devices
// in a build without ALSA, or a fake in the tests) does the playing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "vortax.h"

namespace vortax {

// The module's device 0; the layer's other devices count from 0.
constexpr int32_t DefaultDevice = -1;

// What an open device tells the module. Played comes on the layer's own thread.
class DeviceListener {
public:
    virtual void Opened() = 0;
    // The block has been played, or dropped by a reset: its memory is free again.
    virtual void Played(int32_t block) = 0;
    virtual void Closed() = 0;

protected:
    ~DeviceListener() = default;
};

struct MixerCaps {
    int32_t manufacturer = 0;
    int32_t product = 0;
    int32_t major = 0;  // driver version
    int32_t minor = 0;
    std::string name;
    int32_t destinations = 0;
};

struct MixerControl {
    std::string name;
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t steps = 0;
};

// The mixer of a device's card. Each call gives 0 or the platform's error number.
class DeviceMixer {
public:
    virtual ~DeviceMixer() = default;
    virtual int32_t Caps(MixerCaps& caps) = 0;
    // Chooses the control that sets the loudness of what the device plays.
    virtual int32_t FindVolume(MixerControl& control) = 0;
    virtual int32_t Value(int32_t& value) = 0;
    virtual int32_t SetValue(int32_t value) = 0;
};

// An open device playing 16-bit PCM; closed when destroyed.
class PlaybackDevice {
public:
    virtual ~PlaybackDevice() = default;
    // Queues a block by reference: the memory is read until Played(block) or Release(block).
    // False when the device cannot take it.
    virtual bool Queue(int32_t block, const void* data, int32_t size) = 0;
    // Takes the block back unplayed, with no Played to follow.
    virtual void Release(int32_t block) = 0;
    virtual void Pause() = 0;
    virtual void Restart() = 0;
    // Stops at once; every queued block is reported played.
    virtual void Reset() = 0;
    // The device's volume, left in the low 16 bits and right in the high 16 bits. It
    // belongs to the device, not to this opening of it.
    virtual uint32_t Volume() = 0;
    virtual void SetVolume(uint32_t volume) = 0;
    // 0, or the platform's error number.
    virtual int32_t OpenMixer(std::unique_ptr<DeviceMixer>& mixer) = 0;
};

enum class DeviceOpen { Opened, NoDevice, Busy, Failed };

class DeviceLayer {
public:
    virtual int32_t Count() = 0;
    // The device's product name; false when the platform cannot tell it.
    virtual bool Describe(int32_t device, std::string& description) = 0;
    virtual DeviceOpen Open(int32_t device, int32_t frequency, int32_t channels, DeviceListener& listener,
                            std::unique_ptr<PlaybackDevice>& opened) = 0;
    virtual void Sleep(int32_t milliseconds) = 0;

protected:
    ~DeviceLayer() = default;
};

// The system's layer: ALSA's, or in a build without ALSA one with no device to open.
DeviceLayer& SystemLayer();

// The layer that instances made from now on play through; null goes back to the system's.
void UseDeviceLayer(DeviceLayer* layer);

// Blocks queued at the device of a SoundDeviceOutputModule instance and not yet played.
int32_t QueuedBlocks(const void* instance);

}  // namespace vortax
