#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "state.h"

namespace vortax {

namespace {

EngineVariable* Find(EngineContext* context, const char* name) {
    for (EngineVariable& variable : context->state->variables)
        if (variable.name == name) return &variable;
    return nullptr;
}

void SweepWatchers(EngineState& state) {
    state.watchers.remove_if([](const Watcher& watcher) { return watcher.removed; });
}

// Tells every watcher of the variable's name: the text of a string, the address of the
// stored pointer of a pointer, or null when the variable goes. A callback may change the
// variables and the watchers: `name` and `value` are the caller's copies, and a watcher
// removed meanwhile is only marked, erased when the outermost telling ends.
void Tell(EngineContext* context, const std::string& name, const void* value) {
    EngineState& state = *context->state;
    ++state.telling;
    for (const Watcher& watcher : state.watchers)
        if (!watcher.removed && watcher.name == name) watcher.callback(watcher.user, name.c_str(), value);
    if (--state.telling == 0) SweepWatchers(state);
}

const void* ValueOf(const EngineVariable& variable) {
    return variable.pointer ? static_cast<const void*>(&variable.value) : variable.text.c_str();
}

template <typename Change>
int32_t Set(EngineContext* context, const char* name, bool pointer, Change change) {
    if (!context || !name) return VORTAX_INVALID_PARAMETERS;
    try {
        EngineVariable* variable = Find(context, name);
        if (variable && variable->pointer != pointer) return VORTAX_INVALID_VARIABLE_TYPE;
        if (!variable) {
            variable = &context->state->variables.emplace_front();
            variable->name = name;
            variable->pointer = pointer;
        }
        change(*variable);
        const EngineVariable told = *variable;
        Tell(context, told.name, ValueOf(told));
        return VORTAX_OK;
    } catch (const std::bad_alloc&) {
        return VORTAX_OUT_OF_MEMORY;
    }
}

// The variable of the name and kind, or the code why there is none.
int32_t Lookup(EngineContext* context, const char* name, bool pointer, const EngineVariable*& variable) {
    if (!context || !name) return VORTAX_INVALID_PARAMETERS;
    variable = Find(context, name);
    if (!variable) return VORTAX_NO_SUCH_VARIABLE;
    return variable->pointer != pointer ? VORTAX_INVALID_VARIABLE_TYPE : VORTAX_OK;
}

}  // namespace

const std::string* StringVariable(EngineContext* context, const char* name) {
    const EngineVariable* variable = Find(context, name);
    return variable && !variable->pointer ? &variable->text : nullptr;
}

int32_t CopyCut(const std::string& value, char* buffer, size_t size) {
    if (size > 0) {
        size_t count = std::min(value.size(), size - 1);
        // A character that does not fit whole is left out whole.
        while (count > 0 && count < value.size() && (value[count] & 0xC0) == 0x80) --count;
        std::memcpy(buffer, value.data(), count);
        buffer[count] = '\0';
    }
    return static_cast<int32_t>(std::min<size_t>(value.size(), INT32_MAX));
}

}  // namespace vortax

using namespace vortax;

extern "C" {
int32_t variable_set_string(EngineContext* context, const char* name, const char* text) {
    return Set(context, name, false, [text](EngineVariable& variable) { variable.text = text ? text : ""; });
}

int32_t variable_set_pointer(EngineContext* context, const char* name, void* pointer) {
    return Set(context, name, true, [pointer](EngineVariable& variable) { variable.value = pointer; });
}

// The variable is gone before its watchers hear of it: they may look, or set it anew.
int32_t variable_remove(EngineContext* context, const char* name) {
    if (!context || !name) return VORTAX_INVALID_PARAMETERS;
    auto& variables = context->state->variables;
    for (auto it = variables.begin(); it != variables.end(); ++it) {
        if (it->name != name) continue;
        const std::string gone = std::move(it->name);
        variables.erase(it);
        Tell(context, gone, nullptr);
        return VORTAX_OK;
    }
    return VORTAX_NO_SUCH_VARIABLE;
}

int32_t variable_get_string(EngineContext* context, const char* name, char* destination) {
    const EngineVariable* variable = nullptr;
    if (!destination) return VORTAX_INVALID_PARAMETERS;
    if (const int32_t code = Lookup(context, name, false, variable); code < 0) return code;
    if (variable->text.size() >= VORTAX_STRING_MAX) return VORTAX_INVALID_PARAMETERS;
    std::memcpy(destination, variable->text.c_str(), variable->text.size() + 1);
    return VORTAX_OK;
}

int32_t variable_get_string_sized(EngineContext* context, const char* name, char* destination, size_t size) {
    const EngineVariable* variable = nullptr;
    if (!destination && size > 0) return VORTAX_INVALID_PARAMETERS;
    if (const int32_t code = Lookup(context, name, false, variable); code < 0) return code;
    return CopyCut(variable->text, destination, size);
}

int32_t variable_get_pointer(EngineContext* context, const char* name, void** pointer) {
    const EngineVariable* variable = nullptr;
    if (!pointer) return VORTAX_INVALID_PARAMETERS;
    if (const int32_t code = Lookup(context, name, true, variable); code < 0) return code;
    *pointer = variable->value;
    return VORTAX_OK;
}

int32_t watcher_add(EngineContext* context, const char* name, uint32_t user, WatcherCallback callback, void** handle) {
    if (!context || !name || !callback) return VORTAX_INVALID_PARAMETERS;
    try {
        Watcher& watcher = context->state->watchers.emplace_front(Watcher{name, user, callback});
        if (handle) *handle = &watcher;
        return VORTAX_OK;
    } catch (const std::bad_alloc&) {
        return VORTAX_OUT_OF_MEMORY;
    }
}

int32_t watcher_remove(EngineContext* context, void* handle) {
    if (!context || !handle) return VORTAX_INVALID_PARAMETERS;
    EngineState& state = *context->state;
    for (Watcher& watcher : state.watchers) {
        if (&watcher != handle || watcher.removed) continue;
        watcher.removed = true;
        if (state.telling == 0) SweepWatchers(state);
        return VORTAX_OK;
    }
    return VORTAX_INVALID_PARAMETERS;
}
}
