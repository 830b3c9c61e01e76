// The device layer of an engine built without ALSA: the module still lists its default
// device, whose description says why nothing can be opened.
#include "sound_device.h"

namespace vortax {

namespace {

class NoDeviceLayer final : public DeviceLayer {
public:
    int32_t Count() override { return 0; }

    bool Describe(int32_t, std::string& description) override {
        description = "no sound output: this engine was built without ALSA";
        return true;
    }

    DeviceOpen Open(int32_t, int32_t, int32_t, DeviceListener&, std::unique_ptr<PlaybackDevice>&) override {
        return DeviceOpen::NoDevice;
    }

    // Nothing is ever queued, so nothing waits.
    void Sleep(int32_t) override {}
};

}  // namespace

DeviceLayer& SystemLayer() {
    static NoDeviceLayer layer;
    return layer;
}

}  // namespace vortax
