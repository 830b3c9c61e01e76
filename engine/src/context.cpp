#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <type_traits>

#include "decode.h"
#include "feed.h"
#include "id3v2.h"
#include "layer12.h"
#include "mulaw.h"
#include "state.h"
#include "stream_probe.h"

namespace vortax {

namespace {

constexpr int32_t PcmBufferBytes = 4608;
// The most the probe keeps, tags with their pictures included; past it, the probe stops.
constexpr size_t MostProbed = 64 << 20;
constexpr int32_t StateClosed = 0;
constexpr int32_t StateOpen = 1;

char* CopyName(const char* name) {
    const size_t length = std::strlen(name);
    char* copy = new (std::nothrow) char[length + 1];
    if (copy) std::memcpy(copy, name, length + 1);
    return copy;
}

// The state checks of the two sides: each failure is reported as an internal error.
bool Check(EngineContext* context, bool ok, const char* detail) {
    if (!ok) Notify(context, 0, "internal error", detail);
    return ok;
}

bool InputReady(EngineContext* context) {
    return Check(context, context->input.module != nullptr, "null input module") &&
           Check(context, context->input.instance != nullptr, "null input device");
}

bool InputOpen(EngineContext* context) {
    return InputReady(context) && Check(context, context->input.state == StateOpen, "input not open");
}

bool OutputReady(EngineContext* context) {
    return Check(context, context->output.module != nullptr, "null output module") &&
           Check(context, context->output.instance != nullptr, "null output device");
}

bool OutputOpen(EngineContext* context) {
    return OutputReady(context) && Check(context, context->output.state == StateOpen, "output not open");
}

FilterNode* InputFront(EngineContext* context) { return context->state->inputChain; }
FilterNode* OutputFront(EngineContext* context) { return context->state->outputChain; }

// Calls of the engine on the front node of a chain.
int32_t InOpen(EngineContext* c) { return InputFront(c)->input.open(InputFront(c), InputFront(c)->instance); }
int32_t InClose(EngineContext* c) { return InputFront(c)->input.close(InputFront(c), InputFront(c)->instance); }
int32_t InRead(EngineContext* c, void* b, int32_t n) { return InputFront(c)->input.read(InputFront(c), InputFront(c)->instance, b, n); }
int32_t InFlags(EngineContext* c) { return InputFront(c)->input.get_flags(InputFront(c), InputFront(c)->instance); }

// Every node answers the 64-bit calls, a module or filter without them in 32 bits.
int32_t InSeek(EngineContext* c, int64_t o) { return InputFront(c)->input.seek64(InputFront(c), InputFront(c)->instance, o); }
int64_t InSize(EngineContext* c) {
    return std::max<int64_t>(0, InputFront(c)->input.get_size64(InputFront(c), InputFront(c)->instance));
}
FilterNode* Out(EngineContext* c) { return OutputFront(c); }

// Drops what the probe read: the input starts again elsewhere, or closes.
void ForgetAhead(EngineState& state) {
    std::vector<uint8_t>().swap(state.ahead);
    state.aheadRead = 0;
}

void CloseInstance(EngineContext* context, bool input) {
    if (input) {
        if (!context->input.instance) return;
        if (context->input.state == StateOpen) InClose(context);
        context->input.module->input.delete_instance(context->input.instance);
        context->input.instance = nullptr;
        context->input.state = StateClosed;
    } else {
        if (!context->output.instance) return;
        if (context->output.state == StateOpen) Out(context)->output.close(Out(context), Out(context)->instance);
        context->output.module->output.delete_instance(context->output.instance);
        context->output.instance = nullptr;
        context->output.state = StateClosed;
    }
}

template <typename Side>
int32_t Attach(EngineContext* context, Side& side, const ModuleRecord* module, const char* name, bool input) {
    if (side.instance && side.module == module && side.name && std::strcmp(side.name, name) == 0) return VORTAX_OK;
    CloseInstance(context, input);
    delete[] side.name;
    side.name = CopyName(name);
    if (!side.name) return VORTAX_OUT_OF_MEMORY;
    side.module = module;
    const auto create = input ? module->input.new_instance : module->output.new_instance;
    void* instance = nullptr;
    if (const int32_t code = create(&instance, side.name, module, context); code < 0) return code;
    side.instance = instance;
    if constexpr (requires { side.flags; }) side.flags = 0;
    return VORTAX_OK;
}

template <typename Side>
int32_t Select(EngineContext* context, Side& side, const char* name, int32_t id, bool input) {
    if (!name) name = "";
    const ModuleRecord* module =
        FindModule(input ? context->state->inputModules : context->state->outputModules, name, id, input);
    if (!module) return id == -1 ? (input ? VORTAX_UNSUPPORTED_INPUT : VORTAX_UNSUPPORTED_OUTPUT) : VORTAX_MODULE_NOT_FOUND;
    return Attach(context, side, module, name, input);
}

// The bytes of the input that hold MPEG audio: in a program stream they are not known
// before they are all read.
int64_t AudioBytes(EngineContext* context, const StreamProbe& probe) {
    const int64_t size = context->input.size;
    const Container& container = probe.container;
    switch (container.kind) {
        case ContainerKind::RiffMpeg:
            return std::clamp<int64_t>(size - static_cast<int64_t>(container.data_start), 0,
                                       static_cast<int64_t>(std::min<uint64_t>(container.data_bytes, INT64_MAX)));
        case ContainerKind::ProgramStream: return 0;
        default: return std::max<int64_t>(0, size - probe.tag_bytes);
    }
}

// An input of another format is turned away, named.
int32_t Refuse(EngineContext* context, const char* name) {
    char detail[96];
    std::snprintf(detail, sizeof detail, "%s, not MPEG audio", name);
    Notify(context, 0, "unsupported input format", detail);
    return VORTAX_UNSUPPORTED_FORMAT;
}

// Reads `length` bytes at `offset` straight from the input chain; `moved` once it sought.
bool ReadInputAt(EngineContext* context, uint64_t offset, uint8_t* bytes, size_t length, bool& moved) {
    if (InSeek(context, static_cast<int64_t>(offset)) < 0) return false;
    moved = true;
    for (size_t got = 0; got < length;) {
        const int32_t count = InRead(context, bytes + got, static_cast<int32_t>(std::min<size_t>(length - got, INT32_MAX)));
        if (count <= 0) return false;
        got += static_cast<size_t>(count);
    }
    return true;
}

// The tags at the input's start, among the bytes the probe kept, and from an input that
// can seek those at its end: it is sought there and back to where the kept bytes end, so
// that reading goes on as before.
int32_t ReadTags(EngineContext* context) {
    EngineState& state = *context->state;
    const bool seeks = (context->input.flags & VORTAX_INPUT_CAN_SEEK) && context->input.size > 0;
    bool moved = false;
    int32_t code = VORTAX_OK;
    try {
        ReadLeadingTags(state.ahead.data(), state.ahead.size(), state.tags);
        const ReadAt read = [context, &moved](uint64_t offset, uint8_t* bytes, size_t length) {
            return ReadInputAt(context, offset, bytes, length, moved);
        };
        if (seeks) ReadEndTags(read, static_cast<uint64_t>(context->input.size), state.tags);
    } catch (const std::bad_alloc&) {
        code = VORTAX_OUT_OF_MEMORY;
    }
    if (moved && InSeek(context, static_cast<int64_t>(state.ahead.size())) < 0) return VORTAX_READ_FAILED;
    return code;
}

// The stream's first frame, and a Xing frame, describe the stream before decoding. Its
// bit rate and duration come from the audio alone: the Xing byte count, or the size less
// the tags before the first frame.
int32_t PrimeStream(EngineContext* context) {
    EngineState& state = *context->state;
    const StreamProbe probe = ProbeStream(context);
    if (probe.container.kind == ContainerKind::Other) return Refuse(context, probe.container.name);
    if (const int32_t code = ReadTags(context); code < 0) return code;
    state.audioBytes = AudioBytes(context, probe);
    if (!probe.valid) return VORTAX_OK;
    StreamInfo& stream = context->stream;
    const FrameHeader& header = probe.header;
    stream.version = header.version;
    stream.layer = header.layer;
    stream.bitrate = header.bitrate;
    stream.frequency = header.frequency;
    stream.mode = header.mode;
    stream.changed = 1;
    context->input.duration = header.bitrate > 0 ? static_cast<int32_t>(state.audioBytes / (header.bitrate * 125)) : 0;
    const XingFrame& xing = probe.xing;
    if (xing.vbr && xing.frames > 0) {
        const double seconds = static_cast<double>(xing.frames) * SamplesPerFrame(header) / header.frequency;
        const double bytes = xing.bytes > 0 ? xing.bytes : state.audioBytes;
        context->input.duration = static_cast<int32_t>(seconds);
        stream.bitrate = static_cast<int32_t>(std::lround(bytes / seconds / 125));
        state.vbr = true;
    }
    state.hasXing = xing.has_table;
    if (xing.has_table) std::memcpy(state.xing.data(), xing.table, 100);
    state.encoderTag = xing.encoder;
    state.tagFrames = xing.frames;
    state.tagSamples = int64_t{xing.frames} * SamplesPerFrame(header);
    if (xing.encoder) OfferReplayGain(xing, state.tags);
    state.encoderDelay = xing.encoder_delay;
    state.encoderPadding = xing.encoder_padding;
    return VORTAX_OK;
}

constexpr int32_t DecoderDelay = 529;  // samples the synthesis and hybrid filterbanks add
constexpr int32_t FloatWidth = sizeof(float);  // bytes of a vortax_read sample in VORTAX_ENC_F32

// Samples per channel gapless decoding drops: the delays at the start, the padding less
// the decoder's delay at the end.
int32_t Lead(const EngineState& state) { return state.encoderDelay + DecoderDelay; }
int32_t Tail(const EngineState& state) { return std::max(0, state.encoderPadding - DecoderDelay); }

// Gapless decoding trims a joined stream (files put one after another) as mpg123 does: the
// first file's tag decides, its delay dropped at the start of the whole stream and its
// padding at the very end. The later files' tag frames give no samples, where mpg123
// decodes each as a frame of silence: the output is a frame a file shorter than mpg123's.
void StartTrimming(EngineState& state, bool atStart) {
    state.trimStart = atStart && state.encoderTag ? Lead(state) : 0;
    state.skipSamples = 0;
    state.position = atStart ? 0 : -1;  // a seek to a byte lands on a sample not known
    state.heldSamples = 0;
}

bool Trimming(const EngineState& state) { return state.gapless && state.encoderTag; }

// Samples held back are floats in 16-bit units, which hold those of either encoding (a
// float one given as 16 bits, once the encoding changed, is cut to an integer).
float Held(int16_t sample) { return sample; }
float Held(float sample) { return sample * 32768; }
template <typename T>
T Unheld(float value) {
    if constexpr (std::is_same_v<T, float>) {
        return value / 32768;
    } else {
        return static_cast<int16_t>(std::clamp(value, -32768.0f, 32767.0f));
    }
}

// Cuts the stream down to the samples the encoder was given. Only the end of the input
// shows where the padding is, so near it the last samples decoded are held back, and those
// held when the input ends are never given. The tag's frame count tells when the end is
// near; before it, and there is most of a stream, blocks pass without that extra copy.
template <typename T>
void TrimForGapless(EngineContext* context, int shift) {
    EngineState& state = *context->state;
    const bool trimming = Trimming(state);
    if (!trimming && state.skipSamples == 0) return;
    PcmBlock& pcm = context->pcm;
    const int channels = pcm.stereo ? 2 : 1;
    auto* samples = static_cast<T*>(pcm.buffer);
    int32_t& start = state.skipSamples > 0 || !trimming ? state.skipSamples : state.trimStart;
    const int drop = std::min(start >> shift, pcm.size / channels);
    start -= drop << shift;
    const int perFrame = pcm.size / channels;
    const uint32_t nearEnd = static_cast<uint32_t>((state.encoderPadding >> shift) / std::max(1, perFrame) + 2);
    if (!trimming || (state.heldSamples == 0 && context->stream.frames + nearEnd < state.tagFrames)) {
        if (drop > 0) {
            std::memmove(samples, samples + drop * channels, static_cast<size_t>(pcm.size - drop * channels) * sizeof(T));
            pcm.size -= drop * channels;
        }
        return;
    }
    // Samples held in another layout end a file joined before this one: its padding.
    if (channels != state.heldChannels) {
        state.heldSamples = 0;
        state.heldChannels = channels;
    }
    float* held = state.held.data();
    std::transform(samples + drop * channels, samples + pcm.size, held + state.heldSamples, [](T s) { return Held(s); });
    state.heldSamples += pcm.size - drop * channels;
    const int tail = (Tail(state) >> shift) * channels;
    const int given = std::max(0, state.heldSamples - tail);
    std::transform(held, held + given, samples, Unheld<T>);
    std::copy(held + given, held + state.heldSamples, held);
    state.heldSamples -= given;
    pcm.size = given;
}

void SplitTime(TimeRecord& time, double seconds) {
    const auto whole = static_cast<int32_t>(seconds);
    time.hours = whole / 3600;
    time.minutes = whole % 3600 / 60;
    time.seconds = whole % 60;
    const double rest = seconds - (whole - time.seconds);
    time.hundredths = static_cast<int32_t>(rest * 100 - time.seconds * 100);
}

void UpdatePosition(EngineContext* context) {
    StreamInfo& stream = context->stream;
    const int64_t size = context->input.size;
    double seconds = 0;
    if (size > 0 || stream.bitrate == 0) {
        // Neither a size nor a bit rate tells where we are: the position stays at the start.
        stream.fraction = size > 0 ? static_cast<float>(static_cast<double>(context->input.position) / static_cast<double>(size)) : 0.0f;
        seconds = context->input.duration * static_cast<double>(stream.fraction);
    } else {
        seconds = static_cast<double>(context->input.position) * 8 / (stream.bitrate * 1000.0);
    }
    SplitTime(stream.time, seconds);
}

void UpdateStream(EngineContext* context, const FrameHeader& header) {
    StreamInfo& stream = context->stream;
    ++stream.frames;
    if (context->state->vbr) {
        stream.changed = 0;
    } else {
        const bool differs = stream.version != header.version || stream.layer != header.layer ||
                             stream.frequency != header.frequency || stream.mode != header.mode;
        stream.version = header.version;
        stream.layer = header.layer;
        stream.frequency = header.frequency;
        stream.mode = header.mode;
        const int32_t average = stream.frames == 1 ? header.bitrate : (header.bitrate + 31 * stream.bitrate) / 32;
        stream.changed = differs || average != stream.bitrate;
        stream.bitrate = average;
        if (average != 0) context->input.duration = static_cast<int32_t>(context->state->audioBytes / (average * 125));
    }
    UpdatePosition(context);
    if (context->output.module && (context->output.caps & VORTAX_CAPS_DELAY)) {
        int32_t delay = 0;
        context->pcm.delay = Out(context)->output.delay(Out(context), Out(context)->instance, &delay) >= 0 ? delay : 0;
    }
}

int ReductionShift(int32_t option, int frequency) {
    if (option == 1) return frequency >= 32000 ? 1 : 0;
    if (option == 2) return frequency >= 32000 ? 2 : frequency >= 16000 ? 1 : 0;
    return 0;
}

// Points an area at a block's samples from `offset` on, of the type the block's width tells.
void Aim(SynthesisArea& area, void* pcm, int32_t width, int offset, int stride) {
    const bool floats = width == FloatWidth;
    area.out = floats ? nullptr : static_cast<int16_t*>(pcm) + offset;
    area.out_float = floats ? static_cast<float*>(pcm) + offset : nullptr;
    area.stride = stride;
}

// Routes the stream's channels to the synthesis areas and runs the frame's layer decoder.
void DispatchFrame(EngineContext* context, const FrameHeader& header, void* pcm) {
    EngineState& state = *context->state;
    const int shift = ReductionShift(state.reduction, header.frequency);
    context->pcm.frequency = header.frequency >> shift;
    Routing routing;
    routing.reduction = shift;
    for (int i = 0; i < 2; ++i) {
        SynthesisArea& area = state.synthesis[static_cast<size_t>(i)];
        area.reduction = shift;
        area.gains = state.hasGains[static_cast<size_t>(i)] ? state.gains[static_cast<size_t>(i)].data() : nullptr;
        Aim(area, pcm, context->pcm.width, 0, 1);
    }
    SynthesisArea* first = &state.synthesis[0];
    const bool twoChannels = header.channels() == 2;
    context->pcm.stereo = 0;
    if (!twoChannels || state.channels == 1) {
        routing.target[0] = first;
    } else if (state.channels == 2) {
        routing.target[1] = first;
    } else if (state.channels == 3) {
        routing.target[0] = first;
        routing.average = true;
    } else {
        SynthesisArea* second = &state.synthesis[1];
        Aim(*first, pcm, context->pcm.width, 0, 2);
        Aim(*second, pcm, context->pcm.width, 1, 2);
        routing.target[0] = first;
        routing.target[1] = second;
        context->pcm.stereo = 1;
    }
    BitReader bits;
    FrameBits(state.reader, bits);
    switch (header.layer) {
        case 1: DecodeLayer1(bits, header, routing); break;
        case 2: DecodeLayer2(bits, header, routing); break;
        default: DecodeLayer3(state.layer3, state.reader, header, routing); break;
    }
    const int perChannel = SamplesPerFrame(header) >> shift;
    context->pcm.size = perChannel * (context->pcm.stereo ? 2 : 1);
    if (context->pcm.width == FloatWidth) {
        TrimForGapless<float>(context, shift);
    } else {
        TrimForGapless<int16_t>(context, shift);
    }
    if (state.position >= 0) state.position += context->pcm.size / (context->pcm.stereo ? 2 : 1);
}

const char* ChannelsName(int channels) { return channels == 2 ? "stereo" : "mono"; }

// A block that cannot be brought to the kept format is an error the caller sees.
int32_t ConversionCode(EngineContext* context) {
    const char* error = context->state->keeper.Error();
    if (!error) return VORTAX_OK;
    Notify(context, 0, "cannot convert the stream format", error);
    return VORTAX_UNSUPPORTED_FORMAT;
}

// Only an output that takes a change of format through its set-control method (a sound
// device opens itself again) follows one; any other, a WAV file above all, would get
// samples its header does not describe. Those get every block in the stream's first format.
int32_t KeepFormat(EngineContext* context) {
    EngineState& state = *context->state;
    if (!context->output.module || context->output.module->output.set_control) return VORTAX_OK;
    PcmBlock& pcm = context->pcm;
    FormatKeeper& keeper = state.keeper;
    const int channels = pcm.stereo ? 2 : 1;
    if (keeper.Keeping() && !state.formatChangeNoted &&
        (pcm.frequency != keeper.Frequency() || channels != keeper.Channels())) {
        state.formatChangeNoted = true;
        char detail[160];
        std::snprintf(detail, sizeof detail, "from frame %u on: %d Hz %s, converted to %d Hz %s",
                      context->stream.frames + 1, pcm.frequency, ChannelsName(channels), keeper.Frequency(),
                      ChannelsName(keeper.Channels()));
        Notify(context, 0, "stream format changed", detail);
    }
    const std::span<int16_t> kept = keeper.Convert(static_cast<int16_t*>(pcm.buffer), pcm.size / channels, channels, pcm.frequency);
    if (const int32_t code = ConversionCode(context); code < 0) return code;
    pcm.buffer = kept.data();
    pcm.size = static_cast<int32_t>(kept.size());
    pcm.stereo = keeper.Channels() == 2 ? 1 : 0;
    pcm.frequency = keeper.Frequency();
    return VORTAX_OK;
}

// Turns the decoded 16-bit samples into what the output takes.
void Adapt(EngineContext* context) {
    PcmBlock& pcm = context->pcm;
    if (context->output.caps & VORTAX_CAPS_LINEAR16) {
        pcm.size *= 2;
        return;
    }
    pcm.width = 1;
    const auto* samples = static_cast<const int16_t*>(pcm.buffer);
    auto* bytes = static_cast<uint8_t*>(pcm.buffer);
    const bool mulaw = context->output.caps & VORTAX_CAPS_MULAW;
    for (int32_t i = 0; i < pcm.size; ++i)
        bytes[i] = mulaw ? MulawOf(samples[i]) : static_cast<uint8_t>(samples[i] / 256 + 128);
}

// Decodes the next frame into buffer: 16-bit samples adapted to the output or, `pulled`,
// samples of vortax_read's encoding as they are, `size` then counting their bytes.
int32_t DecodeInto(EngineContext* context, void* buffer, bool pulled = false) {
    if (!InputOpen(context)) return VORTAX_INTERNAL_ERROR;
    if (const int32_t code = PrimeFeed(context); code < 0) return code;
    PcmBlock& pcm = context->pcm;
    const int32_t width = pcm.width;
    const int32_t stereo = pcm.stereo;
    const int32_t frequency = pcm.frequency;
    pcm.width = pulled && context->state->encoding == VORTAX_ENC_F32 ? FloatWidth : 2;
    pcm.buffer = buffer;
    FrameHeader header;
    if (const int32_t code = ReadNextFrame(context, context->state->reader, header); code < 0) return code;
    try {
        DispatchFrame(context, header, buffer);
    } catch (const FrameFault&) {
        pcm.width = width;
        pcm.stereo = stereo;
        pcm.frequency = frequency;
        return VORTAX_INVALID_FRAME;
    }
    if (pulled) {
        pcm.size *= pcm.width;
    } else {
        if (const int32_t code = KeepFormat(context); code < 0) return code;
        Adapt(context);
    }
    pcm.changes = (pcm.width != width ? VORTAX_PCM_WIDTH_CHANGED : 0) |
                  (pcm.stereo != stereo ? VORTAX_PCM_STEREO_CHANGED | VORTAX_PCM_FORMAT_CHANGED : 0) |
                  (pcm.frequency != frequency ? VORTAX_PCM_FORMAT_CHANGED : 0);
    UpdateStream(context, header);
    return VORTAX_OK;
}

// Writes the block through the output chain, announcing a change of format first. An
// output may take part of a block, as write(2) may: it is given the rest. A block it takes
// nothing of or fails (a full disk), or a format it cannot take, is a failure, not a frame
// decoded.
int32_t WriteBlock(EngineContext* context) {
    PcmBlock& pcm = context->pcm;
    if (pcm.changes != 0) {
        OutputControl control{};
        control.width = pcm.width;
        control.frequency = pcm.frequency;
        control.stereo = pcm.stereo;
        if (const int32_t code = output_set_control(context, &control, pcm.changes); code < 0) return code;
    }
    const auto* bytes = static_cast<const uint8_t*>(pcm.buffer);
    for (int32_t done = 0; done < pcm.size;) {
        const int32_t written = output_write(context, bytes + done, pcm.size - done, pcm.width, pcm.stereo, pcm.frequency);
        if (written < 0) return written;
        if (written == 0) return VORTAX_WRITE_FAILED;
        done += std::min(written, pcm.size - done);
    }
    return VORTAX_OK;
}

// At the end of the input, what the resampler of a changed format still holds goes out
// as one last block.
int32_t WriteKeptTail(EngineContext* context) {
    FormatKeeper& keeper = context->state->keeper;
    const std::span<int16_t> tail = keeper.Keeping() ? keeper.Flush() : std::span<int16_t>{};
    if (const int32_t code = ConversionCode(context); code < 0) return code;
    if (tail.empty()) return VORTAX_INPUT_END;
    PcmBlock& pcm = context->pcm;
    pcm.buffer = tail.data();
    pcm.size = static_cast<int32_t>(tail.size());
    pcm.width = 2;
    pcm.changes = 0;
    Adapt(context);
    const int32_t code = WriteBlock(context);
    return code < 0 ? code : VORTAX_INPUT_END;
}

int32_t Seek(EngineContext* context, int64_t offset) {
    if (!InputOpen(context)) return VORTAX_INTERNAL_ERROR;
    if (!(context->input.flags & VORTAX_INPUT_CAN_SEEK) || context->input.size == 0) return VORTAX_UNSUPPORTED_INPUT;
    offset = std::clamp<int64_t>(offset, 0, context->input.size);
    context->input.position = offset;
    context->stream.fraction = static_cast<float>(static_cast<double>(offset) / static_cast<double>(context->input.size));
    SplitTime(context->stream.time, context->input.duration * static_cast<double>(context->stream.fraction));
    ResetDecoder(context);
    ForgetAhead(*context->state);
    ResetSource(context->state->source, context->state->source.container, static_cast<uint64_t>(offset));
    StartTrimming(*context->state, offset == 0);
    return InSeek(context, offset);
}

// The samples of the stream's first rate that give one of the client's: 1 << shift.
int StreamShift(EngineContext* context) { return ReductionShift(context->state->reduction, context->stream.frequency); }

// The samples per channel the client gets of the whole stream, as TrimForGapless cuts
// them: from the frame index, else from the tag's frame count; -1 when neither tells.
int64_t Length(EngineContext* context) {
    const EngineState& state = *context->state;
    const int64_t samples = state.index.built ? state.index.samples : state.tagSamples > 0 ? state.tagSamples : -1;
    if (samples < 0) return -1;
    const int shift = StreamShift(context);
    const int64_t cut = Trimming(state) ? (Lead(state) >> shift) + (Tail(state) >> shift) : 0;
    return std::max<int64_t>(0, (samples >> shift) - cut);
}

// Builds the frame index once, reading the whole stream from its start through a frame
// reader of its own, and puts the input back where it was: decoding goes on as before.
// A program stream's frames have no offsets in the input to seek to.
int32_t BuildIndex(EngineContext* context) {
    EngineState& state = *context->state;
    if (state.index.built) return VORTAX_OK;
    if (!InputOpen(context)) return VORTAX_INTERNAL_ERROR;
    if (!(context->input.flags & VORTAX_INPUT_CAN_SEEK) || context->input.size == 0 ||
        state.source.container.kind == ContainerKind::ProgramStream)
        return VORTAX_UNSUPPORTED_INPUT;
    // Reading goes on from the probe's bytes kept, which end where the input stands, else
    // from where the input stands.
    const int64_t back = state.ahead.empty() ? context->input.position : static_cast<int64_t>(state.ahead.size());
    const int64_t position = context->input.position;
    const size_t aheadRead = state.aheadRead;
    std::vector<uint8_t> ahead;
    ahead.swap(state.ahead);
    state.aheadRead = 0;
    int32_t code = VORTAX_OK;
    try {
        const Source source = state.source;
        const auto reader = std::make_unique<FrameReader>();
        ResetSource(state.source, source.container, 0);
        code = InSeek(context, 0);
        if (code >= 0) code = IndexFrames(context, *reader, state.index);
        state.source = source;
    } catch (const std::bad_alloc&) {
        code = VORTAX_OUT_OF_MEMORY;
    }
    state.ahead.swap(ahead);
    state.aheadRead = aheadRead;
    context->input.position = position;
    if (InSeek(context, back) < 0) return VORTAX_READ_FAILED;
    return code < 0 ? code : VORTAX_OK;
}

// Decoding starts a few frames before the one holding the sample, for the reservoir and
// the filterbanks' history to be what they are there from the start; TrimForGapless drops
// all it gives before the sample (the encoder's delay with it), and the padding still goes
// at the end, the frame count telling the end is near.
int32_t SeekSample(EngineContext* context, int64_t sample) {
    if (const int32_t code = BuildIndex(context); code < 0) return code;
    EngineState& state = *context->state;
    const FrameIndex& index = state.index;
    sample = std::min(sample, Length(context));
    const int64_t wanted = (sample << StreamShift(context)) + (Trimming(state) ? Lead(state) : 0);
    const size_t first = index.frames.empty() ? 0 : WarmUpStart(index, FrameHolding(index, wanted));
    const IndexedFrame start = index.frames.empty() ? IndexedFrame{} : index.frames[first];
    if (const int32_t code = Seek(context, start.offset); code < 0) return code;
    state.trimStart = 0;
    state.skipSamples = static_cast<int32_t>(wanted - start.sample);
    state.position = sample;
    context->stream.frames = static_cast<uint32_t>(first);
    return VORTAX_OK;
}

}  // namespace

void Notify(EngineContext* context, int32_t source, const char* message, const char* detail) {
    if (context && context->notify) context->notify(context->user, source, 0, message, detail);
}

void ResetDecoder(EngineContext* context) {
    ResetFrameReader(context->state->reader);
    ResetLayer3(context->state->layer3);
    for (SynthesisArea& area : context->state->synthesis) ResetSynthesis(area);
    context->state->blockBytes = context->state->blockGiven = 0;
}

int32_t SelectInputModule(EngineContext* context, const ModuleRecord* module, const char* name) {
    return Attach(context, context->input, module, name, true);
}

int32_t DecodePulled(EngineContext* context) { return DecodeInto(context, context->state->block.data(), true); }

int32_t ReadInput(EngineContext* context, uint8_t* buffer, int32_t length) {
    EngineState& state = *context->state;
    if (length <= 0) return 0;
    const size_t kept = state.ahead.size() - state.aheadRead;
    if (kept > 0) {
        const auto count = static_cast<int32_t>(std::min(static_cast<size_t>(length), kept));
        std::memcpy(buffer, state.ahead.data() + state.aheadRead, static_cast<size_t>(count));
        state.aheadRead += static_cast<size_t>(count);
        if (!state.probing) {
            context->input.position += count;
            if (state.aheadRead == state.ahead.size()) ForgetAhead(state);
        }
        return count;
    }
    if (state.probing && state.ahead.size() + static_cast<size_t>(length) > MostProbed) return VORTAX_OUT_OF_MEMORY;
    const int32_t count = InRead(context, buffer, length);
    if (count <= 0) return count;
    if (!state.probing) {
        context->input.position += count;
        return count;
    }
    try {
        state.ahead.insert(state.ahead.end(), buffer, buffer + count);
    } catch (const std::bad_alloc&) {
        return VORTAX_OUT_OF_MEMORY;
    }
    state.aheadRead = state.ahead.size();
    return count;
}

namespace {

// The on/off options: one way to set and read each.
int32_t SetSwitch(EngineContext* context, bool EngineState::*option, int32_t on) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    context->state->*option = on != 0;
    return VORTAX_OK;
}

int32_t GetSwitch(EngineContext* context, bool EngineState::*option, int32_t* on) {
    if (!context || !on) return VORTAX_INVALID_PARAMETERS;
    *on = context->state->*option ? 1 : 0;
    return VORTAX_OK;
}

}  // namespace
}  // namespace vortax

using namespace vortax;

extern "C" {
int32_t engine_create(EngineContext** context) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    auto* created = new (std::nothrow) EngineContext{};
    EngineState* state = created ? new (std::nothrow) EngineState{} : nullptr;
    if (!state) {
        delete created;
        return VORTAX_OUT_OF_MEMORY;
    }
    created->state = state;
    state->inputChain = NewInputChain(created);
    state->outputChain = NewOutputChain(created);
    if (!state->inputChain || !state->outputChain) {
        engine_destroy(created);
        return VORTAX_OUT_OF_MEMORY;
    }
    created->name = "VORTAX";
    created->output.caps = VORTAX_CAPS_DEFAULT;
    created->pcm.stereo = -1;
    created->get_pointer = variable_get_pointer;
    created->get_string = variable_get_string;
    created->get_string_sized = variable_get_string_sized;
    created->add_watcher = watcher_add;
    created->remove_watcher = watcher_remove;
    ResetDecoder(created);
    *context = created;
    return VORTAX_OK;
}

int32_t engine_destroy(EngineContext* context) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    EngineState* state = context->state;
    CloseInstance(context, true);
    DeleteChain(state->inputChain, true);
    DeleteModules(state->inputModules);
    CloseInstance(context, false);
    DeleteChain(state->outputChain, false);
    DeleteModules(state->outputModules);
    delete[] context->input.name;
    delete[] context->output.name;
    delete state;
    delete context;
    return VORTAX_OK;
}

// The header's numbers as text, made once by the preprocessor.
#define VORTAX_TEXT(number) #number
#define VORTAX_NUMBER_TEXT(number) VORTAX_TEXT(number)

const char* engine_get_version(const char** major, const char** minor, const char** patch) {
    if (major) *major = VORTAX_NUMBER_TEXT(VORTAX_VERSION_MAJOR);
    if (minor) *minor = VORTAX_NUMBER_TEXT(VORTAX_VERSION_MINOR);
    if (patch) *patch = VORTAX_NUMBER_TEXT(VORTAX_VERSION_PATCH);
    return VORTAX_NUMBER_TEXT(VORTAX_VERSION_MAJOR) "." VORTAX_NUMBER_TEXT(VORTAX_VERSION_MINOR) "." VORTAX_NUMBER_TEXT(
        VORTAX_VERSION_PATCH);
}

int32_t input_select(EngineContext* context, const char* name, int32_t id) {
    return context ? Select(context, context->input, name, id, true) : VORTAX_INVALID_PARAMETERS;
}

int32_t output_select(EngineContext* context, const char* name, int32_t id) {
    return context ? Select(context, context->output, name, id, false) : VORTAX_INVALID_PARAMETERS;
}

int32_t input_open(EngineContext* context) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    if (!InputReady(context) || !Check(context, context->input.state == StateClosed, "input not closed"))
        return VORTAX_INTERNAL_ERROR;
    if (const int32_t code = InOpen(context); code < 0) return code;
    context->input.position = 0;
    if (context->input.size == 0) context->input.size = InSize(context);
    context->stream = StreamInfo{};
    ResetDecoder(context);
    context->state->vbr = false;
    context->state->hasXing = false;
    context->state->encoderTag = false;
    context->state->tags = StreamTags{};
    context->state->index = FrameIndex{};
    context->state->tagSamples = 0;
    context->input.state = StateOpen;
    context->input.flags = InFlags(context);
    ForgetAhead(*context->state);
    ResetSource(context->state->source, Container{}, 0);
    if (const int32_t code = PrimeStream(context); code < 0) {
        input_close(context);
        return code;
    }
    StartTrimming(*context->state, true);
    return VORTAX_OK;
}

int32_t input_close(EngineContext* context) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    if (!InputOpen(context)) return VORTAX_INTERNAL_ERROR;
    ResetDecoder(context);
    context->input.flags = 0;
    context->input.size = 0;
    context->input.duration = 0;
    context->input.state = StateClosed;
    context->state->hasXing = false;
    ForgetAhead(*context->state);
    return InClose(context);
}

// The whole length when the input holds it: VORTAX_OK; at the end, the count of the bytes
// there were, or VORTAX_INPUT_END for none.
int32_t input_read(EngineContext* context, void* buffer, int32_t length) {
    if (!context || !buffer || length < 0) return VORTAX_INVALID_PARAMETERS;
    if (!InputOpen(context)) return VORTAX_INTERNAL_ERROR;
    auto* bytes = static_cast<uint8_t*>(buffer);
    int32_t done = 0;
    while (done < length) {
        const int32_t count = ReadInput(context, bytes + done, length - done);
        if (count < 0) return count;
        if (count == 0) return done > 0 ? done : VORTAX_INPUT_END;
        done += count;
    }
    return VORTAX_OK;
}

int32_t input_seek_bytes(EngineContext* context, int32_t offset) {
    return context && offset >= 0 ? Seek(context, offset) : VORTAX_INVALID_PARAMETERS;
}

// Written so that a fraction that is not a number fails too, before it indexes the table.
int32_t input_seek_fraction(EngineContext* context, float fraction) {
    if (!context || !(fraction >= 0.0f && fraction <= 1.0f)) return VORTAX_INVALID_PARAMETERS;
    if (context->state->hasXing) {
        // The table maps each percent of the playing time to a 256th of the file.
        const auto& table = context->state->xing;
        const float x = fraction * 100.0f;
        int p = static_cast<int>(x);
        if (p >= 100) p = 99;
        const float from = table[static_cast<size_t>(p)];
        const float to = p < 99 ? table[static_cast<size_t>(p + 1)] : 256.0f;
        fraction = (from + (to - from) * (x - static_cast<float>(p))) / 256.0f;
    }
    return Seek(context, static_cast<int64_t>(static_cast<double>(fraction) * static_cast<double>(context->input.size)));
}

int32_t input_seek_seconds(EngineContext* context, float seconds) {
    if (!context || !std::isfinite(seconds) || seconds < 0) return VORTAX_INVALID_PARAMETERS;
    const int32_t duration = context->input.duration;
    return input_seek_fraction(context, duration > 0 ? std::min(1.0f, seconds / static_cast<float>(duration)) : 0.0f);
}

// Summed in double: hours of any size are a time past the end, not an overflow.
int32_t input_seek_time(EngineContext* context, const TimeRecord* time) {
    if (!context || !time || std::min({time->hours, time->minutes, time->seconds, time->hundredths}) < 0)
        return VORTAX_INVALID_PARAMETERS;
    const double seconds = time->hours * 3600.0 + time->minutes * 60.0 + time->seconds + time->hundredths / 100.0;
    return input_seek_seconds(context, static_cast<float>(seconds));
}

int32_t input_control(EngineContext* context, int32_t a, int32_t b, int32_t c) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    if (!InputOpen(context)) return VORTAX_INTERNAL_ERROR;
    return InputFront(context)->input.control(InputFront(context), InputFront(context)->instance, a, b, c);
}

int32_t output_open(EngineContext* context) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    if (!OutputReady(context) || !Check(context, context->output.state == StateClosed, "output not closed"))
        return VORTAX_INTERNAL_ERROR;
    if (const int32_t code = Out(context)->output.open(Out(context), Out(context)->instance); code < 0) return code;
    // The first frame always announces its format.
    context->pcm.stereo = -1;
    context->pcm.width = 0;
    context->pcm.frequency = 0;
    context->state->keeper.Reset();
    context->state->formatChangeNoted = false;
    for (SynthesisArea& area : context->state->synthesis) ResetSynthesis(area);
    context->output.caps = Out(context)->output.caps(Out(context), Out(context)->instance);
    context->output.state = StateOpen;
    return VORTAX_OK;
}

int32_t output_close(EngineContext* context) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    if (!OutputOpen(context)) return VORTAX_INTERNAL_ERROR;
    context->output.caps = 0;
    context->output.state = StateClosed;
    return Out(context)->output.close(Out(context), Out(context)->instance);
}

int32_t output_write(EngineContext* context, const void* buffer, int32_t size, int32_t width, int32_t stereo,
                     int32_t frequency) {
    if (!context || !buffer || size < 0) return VORTAX_INVALID_PARAMETERS;
    if (context->output.state != StateOpen || !context->output.instance) return VORTAX_INTERNAL_ERROR;
    return Out(context)->output.write(Out(context), Out(context)->instance, buffer, size, width, stereo, frequency);
}

int32_t output_set_control(EngineContext* context, const OutputControl* control, int32_t mask) {
    if (!context || (!control && (mask & ControlFieldBits))) return VORTAX_INVALID_PARAMETERS;
    if (!OutputOpen(context)) return VORTAX_INTERNAL_ERROR;
    return Out(context)->output.set_control(Out(context), Out(context)->instance, control, mask);
}

int32_t output_get_control(EngineContext* context, OutputControl* control, int32_t mask) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    if (!OutputOpen(context)) return VORTAX_INTERNAL_ERROR;
    if (!Check(context, control != nullptr, "null control block")) return VORTAX_INTERNAL_ERROR;
    return Out(context)->output.get_control(Out(context), Out(context)->instance, control, mask);
}

int32_t output_command(EngineContext* context, int32_t a, int32_t b, int32_t c) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    if (!OutputOpen(context)) return VORTAX_INTERNAL_ERROR;
    return Out(context)->output.command(Out(context), Out(context)->instance, a, b, c);
}

int32_t engine_set_channels(EngineContext* context, int32_t channels) {
    if (!context || channels < 0 || channels > 3) return VORTAX_INVALID_PARAMETERS;
    context->state->channels = channels;
    return VORTAX_OK;
}

int32_t engine_get_channels(EngineContext* context, int32_t* channels) {
    if (!context || !channels) return VORTAX_INVALID_PARAMETERS;
    *channels = context->state->channels;
    return VORTAX_OK;
}

int32_t engine_set_reduction(EngineContext* context, int32_t reduction) {
    if (!context || reduction < 0 || reduction > 2) return VORTAX_INVALID_PARAMETERS;
    context->state->reduction = reduction;
    return VORTAX_OK;
}

int32_t engine_get_reduction(EngineContext* context, int32_t* reduction) {
    if (!context || !reduction) return VORTAX_INVALID_PARAMETERS;
    *reduction = context->state->reduction;
    return VORTAX_OK;
}

int32_t engine_set_equalizer(EngineContext* context, const int8_t* steps) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    EngineState& state = *context->state;
    if (!steps) {
        state.hasGains = {false, false};
        return VORTAX_OK;
    }
    for (size_t channel = 0; channel < 2; ++channel) {
        for (size_t band = 0; band < 32; ++band) {
            const float b = steps[channel * 32 + band];
            state.gains[channel][band] = b >= 0 ? 1.0f + b / 32.0f : 1.0f / (1.0f - b / 32.0f);
        }
        state.hasGains[channel] = true;
    }
    return VORTAX_OK;
}

int32_t engine_get_equalizer(EngineContext* context, int8_t* steps) {
    if (!context || !steps) return VORTAX_INVALID_PARAMETERS;
    const EngineState& state = *context->state;
    int32_t code = VORTAX_OK;
    for (size_t channel = 0; channel < 2; ++channel) {
        for (size_t band = 0; band < 32; ++band) {
            const float g = state.gains[channel][band];
            const float step = g >= 1.0f ? (g - 1.0f) * 32.0f : (1.0f - 1.0f / g) * 32.0f;
            steps[channel * 32 + band] = !state.hasGains[channel] ? 0 : static_cast<int8_t>(std::lround(step));
        }
        if (!state.hasGains[channel]) code = VORTAX_NO_SUCH_VARIABLE;
    }
    return code;
}

int32_t engine_set_gapless(EngineContext* context, int32_t on) { return SetSwitch(context, &EngineState::gapless, on); }
int32_t engine_get_gapless(EngineContext* context, int32_t* on) { return GetSwitch(context, &EngineState::gapless, on); }
int32_t engine_set_tags(EngineContext* context, int32_t on) { return SetSwitch(context, &EngineState::writeTags, on); }
int32_t engine_get_tags(EngineContext* context, int32_t* on) { return GetSwitch(context, &EngineState::writeTags, on); }

int vortax_get_tag(EngineContext* context, const char* key, char* buffer, size_t size) {
    if (!context || !key || (!buffer && size > 0)) return VORTAX_INVALID_PARAMETERS;
    TagField field{};
    if (!TagFieldOf(key, field) || context->state->tags[field].empty()) return VORTAX_NO_SUCH_VARIABLE;
    return CopyCut(context->state->tags[field], buffer, size);
}

int vortax_get_picture(EngineContext* context, const void** data, size_t* size, const char** mime) {
    if (!context || !data || !size || !mime) return VORTAX_INVALID_PARAMETERS;
    const Picture& picture = context->state->tags.picture;
    if (picture.type < 0) return VORTAX_NO_SUCH_VARIABLE;
    *data = picture.data.data();
    *size = picture.data.size();
    *mime = picture.mime.c_str();
    return VORTAX_OK;
}

int32_t engine_get_encoder_tag(EngineContext* context, int32_t* delay, int32_t* padding) {
    if (!context || !delay || !padding) return VORTAX_INVALID_PARAMETERS;
    if (!context->state->encoderTag) return VORTAX_NO_SUCH_VARIABLE;
    *delay = context->state->encoderDelay;
    *padding = context->state->encoderPadding;
    return VORTAX_OK;
}

int32_t engine_decode_frame(EngineContext* context) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    if (!Check(context, context->output.state == StateOpen, "output not open")) return VORTAX_INTERNAL_ERROR;
    void* offered = Out(context)->output.get_buffer(Out(context), Out(context)->instance, PcmBufferBytes);
    auto* buffer = offered ? static_cast<int16_t*>(offered) : context->state->pcm.data();
    const int32_t code = DecodeInto(context, buffer);
    if (code == VORTAX_INPUT_END) return WriteKeptTail(context);
    if (code < 0) return code;
    return WriteBlock(context);
}

int64_t vortax_length(EngineContext* context) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    return context->input.state == StateOpen ? Length(context) : -1;
}

int vortax_scan(EngineContext* context) { return context ? BuildIndex(context) : VORTAX_INVALID_PARAMETERS; }

// What vortax_read decoded and has not given yet comes next, a sample given in part too.
int64_t vortax_tell(EngineContext* context) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    const EngineState& state = *context->state;
    if (context->input.state != StateOpen) return -1;
    const int32_t frameBytes = state.given.width * (state.given.stereo ? 2 : 1);
    const auto kept = static_cast<int64_t>(state.blockBytes - state.blockGiven);
    return state.position < 0 || kept == 0 ? state.position : state.position - (kept + frameBytes - 1) / frameBytes;
}

int vortax_seek(EngineContext* context, int64_t sample) {
    return context && sample >= 0 ? SeekSample(context, sample) : VORTAX_INVALID_PARAMETERS;
}
}
