// The device layer on ALSA.
//
// The module's device 0 opens the PCM named by the environment variable VORTAX_ALSA_DEVICE,
// or ALSA's "default" when it is unset: VORTAX_ALSA_DEVICE=null plays into ALSA's null
// plugin, which needs no sound card (the tests play through it). The other devices are
// the playback devices of every card, in card and device order, opened as "plughw:C,D"
// so that ALSA converts what the hardware cannot take.
//
// ALSA's PCM has no per-channel volume, so a device's volume word scales the samples as
// they are handed to ALSA. Each open device has a writer thread: it feeds queued blocks
// to ALSA while poll on the device shows room, and reports a block played once ALSA's
// delay shows that its last frame has left the device.
#include <alsa/asoundlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sound_device.h"

namespace vortax {

namespace {

constexpr unsigned BufferMicroseconds = 500000;
constexpr unsigned PeriodMicroseconds = 50000;
constexpr int LongestWait = 100;  // milliseconds between looks at a device that plays
constexpr snd_pcm_uframes_t ScratchFrames = 1152;
constexpr uint32_t FullVolume = 0xFFFFFFFF;

// Failures come back as codes; ALSA's own messages on standard error would only repeat them.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

std::string DefaultName() {
    const char* name = std::getenv("VORTAX_ALSA_DEVICE");
    return name && *name ? name : "default";
}

struct CardDevice {
    int card = 0;
    int device = 0;
    std::string description;  // "card name: device name"
};

std::vector<CardDevice> PlaybackDevices() {
    std::vector<CardDevice> devices;
    snd_ctl_card_info_t* cardInfo = nullptr;
    snd_pcm_info_t* pcmInfo = nullptr;
    if (snd_ctl_card_info_malloc(&cardInfo) == 0 && snd_pcm_info_malloc(&pcmInfo) == 0) {
        int card = -1;
        while (snd_card_next(&card) == 0 && card >= 0) {
            snd_ctl_t* control = nullptr;
            if (snd_ctl_open(&control, ("hw:" + std::to_string(card)).c_str(), 0) < 0) continue;
            const std::string cardName = snd_ctl_card_info(control, cardInfo) == 0
                                             ? snd_ctl_card_info_get_name(cardInfo)
                                             : "card " + std::to_string(card);
            int device = -1;
            while (snd_ctl_pcm_next_device(control, &device) == 0 && device >= 0) {
                snd_pcm_info_set_device(pcmInfo, static_cast<unsigned>(device));
                snd_pcm_info_set_subdevice(pcmInfo, 0);
                snd_pcm_info_set_stream(pcmInfo, SND_PCM_STREAM_PLAYBACK);
                if (snd_ctl_pcm_info(control, pcmInfo) == 0)  // else a capture-only device
                    devices.push_back({card, device, cardName + ": " + snd_pcm_info_get_name(pcmInfo)});
            }
            snd_ctl_close(control);
        }
    }
    snd_pcm_info_free(pcmInfo);
    snd_ctl_card_info_free(cardInfo);
    return devices;
}

// A device's volume outlives each opening of it, as a sound card's does.
class Volumes {
public:
    uint32_t Get(int32_t device) {
        std::lock_guard guard(lock_);
        const auto found = words_.find(device);
        return found == words_.end() ? FullVolume : found->second;
    }
    void Set(int32_t device, uint32_t word) {
        std::lock_guard guard(lock_);
        words_[device] = word;
    }

private:
    std::mutex lock_;
    std::map<int32_t, uint32_t> words_;
};

class AlsaMixer final : public DeviceMixer {
public:
    AlsaMixer(snd_mixer_t* mixer, std::string control, int32_t device)
        : mixer_(mixer), control_(std::move(control)), device_(device) {}
    ~AlsaMixer() override { snd_mixer_close(mixer_); }

    // ALSA has no manufacturer or product ids: the card and device numbers stand for them,
    // and the library's version for the driver's.
    int32_t Caps(MixerCaps& caps) override {
        snd_ctl_t* control = nullptr;
        if (const int error = snd_ctl_open(&control, control_.c_str(), 0); error < 0) return error;
        snd_ctl_card_info_t* info = nullptr;
        int error = snd_ctl_card_info_malloc(&info);
        if (error == 0) error = snd_ctl_card_info(control, info);
        if (error == 0) {
            caps.manufacturer = snd_ctl_card_info_get_card(info);
            caps.product = device_;
            caps.major = SND_LIB_MAJOR;
            caps.minor = SND_LIB_MINOR;
            const char* mixerName = snd_ctl_card_info_get_mixername(info);
            caps.name = *mixerName ? mixerName : snd_ctl_card_info_get_name(info);
            caps.destinations = 0;
            for (snd_mixer_elem_t* element = snd_mixer_first_elem(mixer_); element; element = snd_mixer_elem_next(element))
                if (snd_mixer_selem_has_playback_volume(element)) ++caps.destinations;
        }
        snd_ctl_card_info_free(info);
        snd_ctl_close(control);
        return error;
    }

    // The card's master control when it has one, else the first playback volume.
    int32_t FindVolume(MixerControl& control) override {
        snd_mixer_elem_t* chosen = nullptr;
        for (const char* name : {"Master", "Speaker", "PCM", "Headphone"}) {
            snd_mixer_selem_id_t* id = nullptr;
            snd_mixer_selem_id_alloca(&id);
            snd_mixer_selem_id_set_name(id, name);
            snd_mixer_elem_t* element = snd_mixer_find_selem(mixer_, id);
            if (element && snd_mixer_selem_has_playback_volume(element)) {
                chosen = element;
                break;
            }
        }
        for (snd_mixer_elem_t* element = snd_mixer_first_elem(mixer_); element && !chosen;
             element = snd_mixer_elem_next(element))
            if (snd_mixer_selem_has_playback_volume(element)) chosen = element;
        if (!chosen) return -ENOENT;
        long minimum = 0;
        long maximum = 0;
        if (const int error = snd_mixer_selem_get_playback_volume_range(chosen, &minimum, &maximum); error < 0)
            return error;
        element_ = chosen;
        control.name = snd_mixer_selem_get_name(chosen);
        control.minimum = static_cast<int32_t>(minimum);
        control.maximum = static_cast<int32_t>(maximum);
        control.steps = static_cast<int32_t>(maximum - minimum);  // one step per integer value
        return 0;
    }

    int32_t Value(int32_t& value) override {
        snd_mixer_handle_events(mixer_);  // take in changes made elsewhere
        long read = 0;
        const int error = snd_mixer_selem_get_playback_volume(element_, SND_MIXER_SCHN_FRONT_LEFT, &read);
        value = static_cast<int32_t>(read);
        return error;
    }

    int32_t SetValue(int32_t value) override { return snd_mixer_selem_set_playback_volume_all(element_, value); }

private:
    snd_mixer_t* mixer_;
    std::string control_;
    int32_t device_;
    snd_mixer_elem_t* element_ = nullptr;
};

struct Pcm {
    snd_pcm_t* handle = nullptr;
    unsigned rate = 0;
    int channels = 0;
    bool canPause = false;
    int card = -1;  // -1: the default control device
    int device = 0;
};

class AlsaDevice final : public PlaybackDevice {
public:
    AlsaDevice(const Pcm& pcm, int wake, int32_t number, DeviceListener& listener, Volumes& volumes)
        : pcm_(pcm),
          wake_(wake),
          number_(number),
          listener_(listener),
          volumes_(volumes),
          volume_(volumes.Get(number)),
          scratch_(ScratchFrames * static_cast<size_t>(pcm.channels)),
          pollCount_(std::max(snd_pcm_poll_descriptors_count(pcm.handle), 0)) {
        listener_.Opened();
        writer_ = std::thread([this] { Run(); });
    }

    ~AlsaDevice() override {
        {
            std::lock_guard guard(lock_);
            stopping_ = true;
        }
        Wake();
        writer_.join();
        snd_pcm_close(pcm_.handle);
        ::close(wake_);
        listener_.Closed();
    }

    bool Queue(int32_t block, const void* data, int32_t size) override {
        std::lock_guard guard(lock_);
        if (failed_) return false;
        const auto frameBytes = static_cast<snd_pcm_uframes_t>(pcm_.channels) * 2;
        waiting_.push_back({block, static_cast<const uint8_t*>(data), static_cast<snd_pcm_uframes_t>(size) / frameBytes, 0});
        Wake();
        return true;
    }

    void Release(int32_t block) override {
        std::lock_guard guard(lock_);
        std::erase_if(waiting_, [block](const Waiting& waiting) { return waiting.block == block; });
        std::erase_if(playing_, [block](const Playing& playing) { return playing.block == block; });
    }

    void Pause() override {
        std::lock_guard guard(lock_);
        paused_ = true;
        // A device that cannot pause plays out what it holds and is fed again on restart.
        if (pcm_.canPause && snd_pcm_state(pcm_.handle) == SND_PCM_STATE_RUNNING) snd_pcm_pause(pcm_.handle, 1);
    }

    void Restart() override {
        std::lock_guard guard(lock_);
        if (snd_pcm_state(pcm_.handle) == SND_PCM_STATE_PAUSED) snd_pcm_pause(pcm_.handle, 0);
        paused_ = false;
        Wake();
    }

    void Reset() override {
        std::lock_guard guard(lock_);
        snd_pcm_drop(pcm_.handle);
        snd_pcm_prepare(pcm_.handle);
        DropAll();
        Wake();
    }

    uint32_t Volume() override { return volume_.load(); }

    void SetVolume(uint32_t volume) override {
        volume_.store(volume);
        volumes_.Set(number_, volume);
    }

    int32_t OpenMixer(std::unique_ptr<DeviceMixer>& mixer) override {
        const std::string control = pcm_.card >= 0 ? "hw:" + std::to_string(pcm_.card) : "default";
        snd_mixer_t* handle = nullptr;
        if (const int error = snd_mixer_open(&handle, 0); error < 0) return error;
        int error = snd_mixer_attach(handle, control.c_str());
        if (error == 0) error = snd_mixer_selem_register(handle, nullptr, nullptr);
        if (error == 0) error = snd_mixer_load(handle);
        if (error < 0) {
            snd_mixer_close(handle);
            return error;
        }
        mixer = std::make_unique<AlsaMixer>(handle, control, pcm_.device);
        return 0;
    }

private:
    struct Waiting {
        int32_t block;
        const uint8_t* data;
        snd_pcm_uframes_t frames;
        snd_pcm_uframes_t sent;
    };
    struct Playing {
        int32_t block;
        uint64_t end;  // frames written to ALSA up to its last frame
    };

    void Wake() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_, &one, sizeof one);
    }

    void Run() {
        std::vector<pollfd> fds(1 + static_cast<size_t>(pollCount_));
        std::unique_lock guard(lock_);
        while (!stopping_) {
            Feed();
            Notice();
            fds[0] = {wake_, POLLIN, 0};
            const bool feeding = !paused_ && !waiting_.empty();
            const int count =
                1 + (feeding ? snd_pcm_poll_descriptors(pcm_.handle, &fds[1], static_cast<unsigned>(pollCount_)) : 0);
            const int timeout = paused_ || playing_.empty() ? -1 : WaitMilliseconds();
            guard.unlock();
            ::poll(fds.data(), static_cast<nfds_t>(count), timeout);
            guard.lock();
            // Some plugins (dmix) clear their poll event only here.
            unsigned short events = 0;
            if (count > 1) snd_pcm_poll_descriptors_revents(pcm_.handle, &fds[1], static_cast<unsigned>(count - 1), &events);
            if (fds[0].revents & POLLIN) {
                uint64_t woken = 0;
                [[maybe_unused]] const ssize_t read = ::read(wake_, &woken, sizeof woken);
            }
        }
    }

    // Hands waiting blocks to ALSA for as long as it takes frames.
    void Feed() {
        while (!paused_ && !failed_ && !waiting_.empty()) {
            Waiting& block = waiting_.front();
            if (block.sent == block.frames) {
                playing_.push_back({block.block, written_});
                waiting_.pop_front();
                continue;
            }
            const snd_pcm_uframes_t count = std::min(block.frames - block.sent, ScratchFrames);
            Scale(block.data + block.sent * static_cast<snd_pcm_uframes_t>(pcm_.channels) * 2, count);
            const snd_pcm_sframes_t sent = snd_pcm_writei(pcm_.handle, scratch_.data(), count);
            if (sent == -EAGAIN) return;
            if (sent < 0) {
                Recover(static_cast<int>(sent));
                continue;
            }
            block.sent += static_cast<snd_pcm_uframes_t>(sent);
            written_ += static_cast<uint64_t>(sent);
        }
    }

    // Reports the blocks whose last frame ALSA has played.
    void Notice() {
        if (playing_.empty()) return;
        snd_pcm_sframes_t delay = 0;
        if (const int error = snd_pcm_delay(pcm_.handle, &delay); error < 0) {
            Recover(error);
            return;
        }
        const uint64_t held = std::min(static_cast<uint64_t>(std::max<snd_pcm_sframes_t>(delay, 0)), written_);
        const uint64_t played = written_ - held;
        while (!playing_.empty() && playing_.front().end <= played) {
            listener_.Played(playing_.front().block);
            playing_.pop_front();
        }
        remaining_ = playing_.empty() ? 0 : playing_.front().end - played;
    }

    // Until the oldest playing block should be done, within limits.
    int WaitMilliseconds() const {
        const uint64_t milliseconds = remaining_ * 1000 / std::max(pcm_.rate, 1u) + 1;
        return static_cast<int>(std::min<uint64_t>(milliseconds, LongestWait));
    }

    // An underrun or a suspend loses what ALSA held, so those blocks count as played; a
    // device that cannot recover (unplugged) gives back everything and takes no more.
    void Recover(int error) {
        for (const Playing& playing : playing_) listener_.Played(playing.block);
        playing_.clear();
        if (snd_pcm_recover(pcm_.handle, error, 1) < 0) {
            failed_ = true;
            DropAll();
        }
    }

    void DropAll() {
        for (const Playing& playing : playing_) listener_.Played(playing.block);
        for (const Waiting& waiting : waiting_) listener_.Played(waiting.block);
        playing_.clear();
        waiting_.clear();
    }

    // Copies frames into the scratch buffer with the volume applied to each channel.
    void Scale(const uint8_t* from, snd_pcm_uframes_t frames) {
        const size_t samples = frames * static_cast<size_t>(pcm_.channels);
        std::memcpy(scratch_.data(), from, samples * 2);
        const uint32_t word = volume_.load();
        if (word == FullVolume) return;
        const int32_t gains[2] = {static_cast<int32_t>(word & 0xFFFF), static_cast<int32_t>(word >> 16)};
        for (size_t i = 0; i < samples; ++i)
            scratch_[i] = static_cast<int16_t>(scratch_[i] * gains[i % static_cast<size_t>(pcm_.channels)] / 0xFFFF);
    }

    const Pcm pcm_;
    const int wake_;  // an eventfd that wakes the writer
    const int32_t number_;
    DeviceListener& listener_;
    Volumes& volumes_;
    std::atomic<uint32_t> volume_;
    std::vector<int16_t> scratch_;
    const int pollCount_;
    std::mutex lock_;  // over everything below and every call into ALSA
    std::deque<Waiting> waiting_;
    std::deque<Playing> playing_;
    uint64_t written_ = 0;
    uint64_t remaining_ = 0;  // frames until the oldest playing block is done
    bool paused_ = false;
    bool failed_ = false;
    bool stopping_ = false;
    std::thread writer_;
};

int Configure(Pcm& pcm) {
    snd_pcm_hw_params_t* params = nullptr;
    int error = snd_pcm_hw_params_malloc(&params);
    if (error < 0) return error;
    unsigned buffer = BufferMicroseconds;
    unsigned period = PeriodMicroseconds;
    error = snd_pcm_hw_params_any(pcm.handle, params);
    if (error >= 0) error = snd_pcm_hw_params_set_access(pcm.handle, params, SND_PCM_ACCESS_RW_INTERLEAVED);
    if (error >= 0) error = snd_pcm_hw_params_set_format(pcm.handle, params, SND_PCM_FORMAT_S16);
    if (error >= 0) error = snd_pcm_hw_params_set_channels(pcm.handle, params, static_cast<unsigned>(pcm.channels));
    if (error >= 0) error = snd_pcm_hw_params_set_rate_near(pcm.handle, params, &pcm.rate, nullptr);
    if (error >= 0) error = snd_pcm_hw_params_set_buffer_time_near(pcm.handle, params, &buffer, nullptr);
    if (error >= 0) error = snd_pcm_hw_params_set_period_time_near(pcm.handle, params, &period, nullptr);
    if (error >= 0) error = snd_pcm_hw_params(pcm.handle, params);
    if (error >= 0) pcm.canPause = snd_pcm_hw_params_can_pause(params) == 1;
    snd_pcm_hw_params_free(params);
    return error;
}

class AlsaDeviceLayer final : public DeviceLayer {
public:
    AlsaDeviceLayer() { snd_lib_error_set_handler(Quiet); }

    int32_t Count() override { return static_cast<int32_t>(PlaybackDevices().size()); }

    bool Describe(int32_t device, std::string& description) override {
        if (device == DefaultDevice) {
            description = "default output, ALSA PCM " + DefaultName();
            return true;
        }
        const std::vector<CardDevice> devices = PlaybackDevices();
        if (device < 0 || device >= static_cast<int32_t>(devices.size())) return false;
        description = devices[static_cast<size_t>(device)].description;
        return true;
    }

    DeviceOpen Open(int32_t device, int32_t frequency, int32_t channels, DeviceListener& listener,
                    std::unique_ptr<PlaybackDevice>& opened) override {
        Pcm pcm;
        std::string name = DefaultName();
        if (device != DefaultDevice) {
            const std::vector<CardDevice> devices = PlaybackDevices();
            if (device < 0 || device >= static_cast<int32_t>(devices.size())) return DeviceOpen::NoDevice;
            const CardDevice& found = devices[static_cast<size_t>(device)];
            name = "plughw:" + std::to_string(found.card) + "," + std::to_string(found.device);
            pcm.card = found.card;
            pcm.device = found.device;
        }
        if (frequency <= 0) return DeviceOpen::Failed;
        pcm.rate = static_cast<unsigned>(frequency);
        pcm.channels = channels;
        // Not blocking: a device in use fails at once instead of waiting for its owner.
        const int error = snd_pcm_open(&pcm.handle, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
        if (error == -EBUSY) return DeviceOpen::Busy;
        if (error == -ENOENT || error == -ENODEV || error == -ENXIO) return DeviceOpen::NoDevice;
        if (error < 0) return DeviceOpen::Failed;
        const int wake = Configure(pcm) < 0 ? -1 : ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wake < 0) {
            snd_pcm_close(pcm.handle);
            return DeviceOpen::Failed;
        }
        opened = std::make_unique<AlsaDevice>(pcm, wake, device, listener, volumes_);
        return DeviceOpen::Opened;
    }

    void Sleep(int32_t milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

private:
    Volumes volumes_;
};

}  // namespace

DeviceLayer& SystemLayer() {
    static AlsaDeviceLayer layer;
    return layer;
}

}  // namespace vortax
