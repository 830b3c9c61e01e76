// The engine's private state behind EngineContext.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "filters.h"
#include "format_keeper.h"
#include "frame_index.h"
#include "frame_reader.h"
#include "layer3.h"
#include "metadata.h"
#include "source.h"
#include "synth.h"
#include "vortax.h"

namespace vortax {

struct EngineVariable {
    std::string name;
    bool pointer = false;  // a borrowed pointer, else an owned text
    std::string text;
    void* value = nullptr;
};

struct Watcher {
    std::string name;
    uint32_t user = 0;
    WatcherCallback callback = nullptr;
    bool removed = false;  // from a callback: erased once no telling is under way
};

}  // namespace vortax

// Completes the header's opaque type, so it stays outside the namespace.
struct EngineState {
    vortax::Source source;
    vortax::FrameReader reader;
    vortax::Layer3State layer3;
    std::array<vortax::SynthesisArea, 2> synthesis;
    std::array<std::array<float, 32>, 2> gains{};
    std::array<bool, 2> hasGains{};
    std::array<int16_t, 2304> pcm{};  // decoded into when the output offers no buffer
    std::array<uint8_t, 100> xing{};
    bool hasXing = false;
    bool vbr = false;
    int64_t audioBytes = 0;  // the input's size less the tags before the first frame
    // What input_open's probe read (while `probing`), which reads give again first from
    // `aheadRead` on: the input is never sought back, and one that cannot seek loses nothing.
    std::vector<uint8_t> ahead;
    size_t aheadRead = 0;
    bool probing = false;
    FilterNode* inputChain = nullptr;   // the front node
    FilterNode* outputChain = nullptr;
    ModuleRecord* inputModules = nullptr;  // newest first
    ModuleRecord* outputModules = nullptr;
    int32_t channels = 0;
    int32_t reduction = 0;
    bool gapless = false;
    bool writeTags = false;     // a WAV output carries the stream's tags
    vortax::StreamTags tags;    // read at input_open
    bool encoderTag = false;  // the stream starts with the encoder's tag
    int32_t encoderDelay = 0;
    int32_t encoderPadding = 0;
    uint32_t tagFrames = 0;   // the frame count the encoder's tag gives, 0 when it gives none
    int32_t trimStart = 0;    // samples per channel still to drop at the start
    // Samples per channel a seek still drops before its target, gapless or not (the
    // encoder's delay counted in): then trimStart is not used.
    int32_t skipSamples = 0;
    int64_t position = 0;     // the sample, as the client counts them, the next one decoded is; -1 unknown
    int64_t tagSamples = 0;   // per channel, of the tag's frame count; 0 when it gives none
    vortax::FrameIndex index;  // built when a seek or the length needs it
    // The last samples decoded, held back while they could be the padding at the end: up
    // to the largest padding (12 bits) of two channels, and a frame more.
    std::array<float, 2 * 4096 + 2304> held{};
    int32_t heldSamples = 0;
    int32_t heldChannels = 0;
    // vortax_read's samples: its encoding, the frame last decoded (a float frame at most),
    // the bytes of it given so far, and the format of the PCM last given.
    int32_t encoding = VORTAX_ENC_S16;
    alignas(float) std::array<uint8_t, 2304 * sizeof(float)> block{};
    size_t blockBytes = 0;
    size_t blockGiven = 0;
    PcmBlock given{};
    // An output that cannot follow a change of format gets every block in the first one.
    vortax::FormatKeeper keeper;
    bool formatChangeNoted = false;  // told once an output, at the first change
    std::list<vortax::EngineVariable> variables;  // newest first
    std::list<vortax::Watcher> watchers;          // newest first
    int32_t telling = 0;                          // watcher callbacks under way, nested
};

namespace vortax {

// Reports an error to the context's notification callback (source 0: the engine).
void Notify(EngineContext* context, int32_t source, const char* message, const char* detail);

// Resets the frame reader, the layer III state and both synthesis work areas, and drops
// what vortax_read decoded and did not give.
void ResetDecoder(EngineContext* context);

// Selects a module of the engine's own, listed nowhere, as the input.
int32_t SelectInputModule(EngineContext* context, const ModuleRecord* module, const char* name);

// Decodes the next frame into the state's block for vortax_read, as engine_decode_frame
// does for the output: the same codes, context->pcm describing the block.
int32_t DecodePulled(EngineContext* context);

// Reads up to `length` bytes of the input, what its probe kept first: the count, 0 at the
// end, or the input's code. Input modules may give less than asked at any time.
int32_t ReadInput(EngineContext* context, uint8_t* buffer, int32_t length);

// The text of a string variable, or null when there is none of the name.
const std::string* StringVariable(EngineContext* context, const char* name);

// Copies `value` into `buffer` of `size` bytes, terminated and cut to fit, without a part
// of a UTF-8 character (nothing for size 0); gives the whole length, for a caller to retry.
int32_t CopyCut(const std::string& value, char* buffer, size_t size);

// The OutputControl fields' mask bits, those below the first command's: a control block is
// read for them alone, so a mask of command bits may come without one.
constexpr int32_t ControlFieldBits = VORTAX_COMMAND_MUTE - 1;

// The module for a name (id -1: the newest whose probe takes the name) or with an id.
const ModuleRecord* FindModule(const ModuleRecord* list, const char* name, int32_t id, bool input);
void DeleteModules(ModuleRecord* list);

}  // namespace vortax
