#include "decode_bytes.h"

#include <algorithm>
#include <cstring>

#include "vortax.h"

namespace {

struct Memory {
    const uint8_t* data;
    size_t size;
    size_t position;
};

Memory stream;

int32_t TakeAll(const char*) { return 0; }
int32_t NewMemory(void** instance, const char*, const ModuleRecord*, EngineContext*) {
    *instance = &stream;
    return 0;
}
int32_t Done(void*) { return 0; }
int32_t ReadMemory(void* instance, void* buffer, int32_t length) {
    auto* memory = static_cast<Memory*>(instance);
    const size_t count = length > 0 ? std::min(static_cast<size_t>(length), memory->size - memory->position) : 0;
    if (count == 0) return 0;
    std::memcpy(buffer, memory->data + memory->position, count);
    memory->position += count;
    return static_cast<int32_t>(count);
}
int32_t SeekMemory(void* instance, int32_t offset) {
    auto* memory = static_cast<Memory*>(instance);
    if (offset < 0 || static_cast<size_t>(offset) > memory->size) return -1;
    memory->position = static_cast<size_t>(offset);
    return 0;
}
int32_t CanSeek(void*) { return VORTAX_INPUT_CAN_SEEK; }
int32_t SizeOf(void* instance) { return static_cast<int32_t>(static_cast<Memory*>(instance)->size); }
int32_t Swallow(void*, const void*, int32_t size, int32_t, int32_t, int32_t) { return size > 0 ? size : 1; }

constexpr InputMethods MemoryInput = {TakeAll, nullptr, NewMemory, Done,    Done,    Done,   ReadMemory,
                                      SeekMemory, CanSeek, SizeOf,  nullptr, nullptr, nullptr};
constexpr OutputMethods Nowhere = {TakeAll, nullptr, NewMemory, Done, Done, Done, Swallow,
                                   nullptr, nullptr, nullptr,   nullptr, nullptr, nullptr};

// Every tag the engine read, through a buffer that cuts most of them short.
void ReadTags(EngineContext* context) {
    for (const char* key : {"title", "artist", "album", "track", "date", "genre", "comment"}) {
        char value[8];
        vortax_get_tag(context, key, value, sizeof value);
    }
}

}  // namespace

int DecodeBytes(const uint8_t* data, size_t size) {
    stream = Memory{data, size, 0};
    EngineContext* context = nullptr;
    if (engine_create(&context) != 0) return 0;
    register_input_module(context, &MemoryInput);
    register_output_module(context, &Nowhere);
    engine_set_tags(context, 1);
    int frames = 0;
    if (input_select(context, "memory", -1) == 0 && input_open(context) == 0 && output_select(context, "", -1) == 0 &&
        output_open(context) == 0) {
        ReadTags(context);
        int32_t code = 0;
        while ((code = engine_decode_frame(context)) == 0 || code == VORTAX_INVALID_FRAME) frames += code == 0;
    }
    engine_destroy(context);
    return frames;
}
