// The engine's private state behind EngineContext.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "filters.h"
#include "format_keeper.h"
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
    // The last samples decoded, held back while they could be the padding at the end: up
    // to the largest padding (12 bits) of two channels, and a frame more.
    std::array<int16_t, 2 * 4096 + 2304> held{};
    int32_t heldSamples = 0;
    int32_t heldChannels = 0;
    // An output that cannot follow a change of format gets every block in the first one.
    vortax::FormatKeeper keeper;
    bool formatChangeNoted = false;  // told once an output, at the first change
    std::list<vortax::EngineVariable> variables;  // newest first
    std::list<vortax::Watcher> watchers;          // newest first
};

namespace vortax {

// Reports an error to the context's notification callback (source 0: the engine).
void Notify(EngineContext* context, int32_t source, const char* message, const char* detail);

// Resets the frame reader, the layer III state and both synthesis work areas.
void ResetDecoder(EngineContext* context);

// Reads up to `length` bytes of the input, what its probe kept first: the count, 0 at the
// end, or the input's code. Input modules may give less than asked at any time.
int32_t ReadInput(EngineContext* context, uint8_t* buffer, int32_t length);

// The text of a string variable, or null when there is none of the name.
const std::string* StringVariable(EngineContext* context, const char* name);

// The module for a name (id -1: the newest whose probe takes the name) or with an id.
const ModuleRecord* FindModule(const ModuleRecord* list, const char* name, int32_t id, bool input);
void DeleteModules(ModuleRecord* list);

}  // namespace vortax
