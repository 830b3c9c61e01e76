// The fed input: a module of the engine's own reading the queue the client pushes bytes
// to. Where the queue runs dry before the input ends it answers VORTAX_NEED_MORE, which
// every reader passes up as it does an input's failure, each keeping its place: the next
// read finds the frame reader where it stopped, so that too few bytes yet are never taken
// for the end of the stream or for junk.
#include "feed.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "state.h"

namespace vortax {

namespace {

constexpr int32_t Open = 1;  // the input's state once open

struct Feed {
    std::vector<uint8_t> bytes;  // queued, every one from the first until primed
    size_t read = 0;             // the next byte to read
    bool ended = false;          // no more bytes come
    bool primed = false;         // the look at the stream's start had all it asked for
    bool starved = false;        // a read found the queue dry since the input opened
    size_t wanted = 0;           // the queue's length that read needed
};

Feed& Of(void* instance) { return *static_cast<Feed*>(instance); }

int32_t NewFeed(void** instance, const char*, const ModuleRecord*, EngineContext*) {
    *instance = new (std::nothrow) Feed{};
    return *instance ? VORTAX_OK : VORTAX_OUT_OF_MEMORY;
}

int32_t DeleteFeed(void* instance) {
    delete &Of(instance);
    return VORTAX_OK;
}

// Until primed, each opening reads from the first byte again.
int32_t OpenFeed(void* instance) {
    Feed& feed = Of(instance);
    if (!feed.primed) feed.read = 0;
    feed.starved = false;
    return VORTAX_OK;
}

int32_t CloseFeed(void*) { return VORTAX_OK; }

int32_t ReadFeed(void* instance, void* buffer, int32_t length) {
    Feed& feed = Of(instance);
    const size_t left = feed.bytes.size() - feed.read;
    if (left == 0 && length > 0 && !feed.ended) {
        feed.starved = true;
        feed.wanted = feed.read + static_cast<size_t>(length);
        return VORTAX_NEED_MORE;
    }
    const size_t count = std::min(left, static_cast<size_t>(std::max(length, 0)));
    std::memcpy(buffer, feed.bytes.data() + feed.read, count);
    feed.read += count;
    return static_cast<int32_t>(count);
}

// Without a seek, a size or flags: the engine's answers for a module lacking them.
const ModuleRecord FeedModule = {
    0,
    {nullptr, nullptr, NewFeed, DeleteFeed, OpenFeed, CloseFeed, ReadFeed, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
    {},
    nullptr,
};

// The context's feed, or null when its input is not one.
Feed* Fed(EngineContext* context) {
    return context->input.module == &FeedModule ? &Of(context->input.instance) : nullptr;
}

}  // namespace

int32_t PrimeFeed(EngineContext* context) {
    Feed* feed = Fed(context);
    if (!feed || feed->primed) return VORTAX_OK;
    if (feed->starved) {
        // Deterministic on the same bytes, the look stops at the same read again before these.
        if (!feed->ended && feed->bytes.size() < feed->wanted) return VORTAX_NEED_MORE;
        input_close(context);
        if (const int32_t code = input_open(context); code < 0) return code;
        if (feed->starved) return VORTAX_NEED_MORE;
    }
    feed->primed = true;
    return VORTAX_OK;
}

}  // namespace vortax

using namespace vortax;

extern "C" {

int vortax_open_feed(EngineContext* context) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    if (context->input.state == Open) input_close(context);
    if (const int32_t code = SelectInputModule(context, &FeedModule, "feed:"); code < 0) return code;
    Of(context->input.instance) = Feed{};
    return input_open(context);
}

int vortax_feed(EngineContext* context, const void* data, size_t size) {
    if (!context || (!data && size > 0)) return VORTAX_INVALID_PARAMETERS;
    Feed* feed = Fed(context);
    if (!feed || feed->ended) {
        Notify(context, 0, "internal error", feed ? "feed ended" : "no feed open");
        return VORTAX_INTERNAL_ERROR;
    }
    if (size == 0) {
        feed->ended = true;
        return VORTAX_OK;
    }
    try {
        // Once primed, what was read goes, when it is half the queue: each byte moves once at most.
        if (feed->primed && feed->read > 0 && feed->read >= feed->bytes.size() / 2) {
            feed->bytes.erase(feed->bytes.begin(), feed->bytes.begin() + static_cast<std::ptrdiff_t>(feed->read));
            feed->read = 0;
        }
        const auto* bytes = static_cast<const uint8_t*>(data);
        feed->bytes.insert(feed->bytes.end(), bytes, bytes + size);
    } catch (const std::bad_alloc&) {
        return VORTAX_OUT_OF_MEMORY;
    }
    return VORTAX_OK;
}

}
