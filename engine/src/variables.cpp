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

// Tells every watcher of the variable's name: the text of a string, the address of the
// stored pointer of a pointer, or null when the variable goes.
void Tell(EngineContext* context, const std::string& name, const void* value) {
    for (const Watcher& watcher : context->state->watchers)
        if (watcher.name == name) watcher.callback(watcher.user, name.c_str(), value);
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
        Tell(context, variable->name, ValueOf(*variable));
        return VORTAX_OK;
    } catch (const std::bad_alloc&) {
        return VORTAX_OUT_OF_MEMORY;
    }
}

template <typename Read>
int32_t Get(EngineContext* context, const char* name, const void* destination, bool pointer, Read read) {
    if (!context || !name || !destination) return VORTAX_INVALID_PARAMETERS;
    const EngineVariable* variable = Find(context, name);
    if (!variable) return VORTAX_NO_SUCH_VARIABLE;
    if (variable->pointer != pointer) return VORTAX_INVALID_VARIABLE_TYPE;
    read(*variable);
    return VORTAX_OK;
}

}  // namespace

const std::string* StringVariable(EngineContext* context, const char* name) {
    const EngineVariable* variable = Find(context, name);
    return variable && !variable->pointer ? &variable->text : nullptr;
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

int32_t variable_remove(EngineContext* context, const char* name) {
    if (!context || !name) return VORTAX_INVALID_PARAMETERS;
    auto& variables = context->state->variables;
    for (auto it = variables.begin(); it != variables.end(); ++it) {
        if (it->name != name) continue;
        Tell(context, it->name, nullptr);
        variables.erase(it);
        return VORTAX_OK;
    }
    return VORTAX_NO_SUCH_VARIABLE;
}

int32_t variable_get_string(EngineContext* context, const char* name, char* destination) {
    return Get(context, name, destination, false, [destination](const EngineVariable& variable) {
        std::memcpy(destination, variable.text.c_str(), variable.text.size() + 1);
    });
}

int32_t variable_get_pointer(EngineContext* context, const char* name, void** pointer) {
    return Get(context, name, pointer, true, [pointer](const EngineVariable& variable) { *pointer = variable.value; });
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
    auto& watchers = context->state->watchers;
    for (auto it = watchers.begin(); it != watchers.end(); ++it) {
        if (&*it != handle) continue;
        watchers.erase(it);
        return VORTAX_OK;
    }
    return -1;
}
}
