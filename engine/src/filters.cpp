#include <climits>
#include <cstring>
#include <new>

#include "filters.h"
#include "state.h"

namespace vortax {

namespace {

FilterNode* Next(FilterNode* self) { return self->next; }

// The terminal node of each chain calls the selected module with the side's instance;
// a module without a method gets the chain's default answer.
const InputMethods* InputModule(FilterNode* self) {
    return self->context->input.module ? &self->context->input.module->input : nullptr;
}
const OutputMethods* OutputModule(FilterNode* self) {
    return self->context->output.module ? &self->context->output.module->output : nullptr;
}
void* InputInstance(FilterNode* self) { return self->context->input.instance; }
void* OutputInstance(FilterNode* self) { return self->context->output.instance; }

#define CALL_INPUT(method, fallback, ...)                                  \
    const InputMethods* module = InputModule(static_cast<FilterNode*>(self)); \
    return module && module->method ? module->method(InputInstance(static_cast<FilterNode*>(self)) __VA_OPT__(,) __VA_ARGS__) : fallback

#define CALL_OUTPUT(method, fallback, ...)                                   \
    const OutputMethods* module = OutputModule(static_cast<FilterNode*>(self)); \
    return module && module->method ? module->method(OutputInstance(static_cast<FilterNode*>(self)) __VA_OPT__(,) __VA_ARGS__) : fallback

int32_t ModuleOpen(void* self, void*) { CALL_INPUT(open, VORTAX_INTERNAL_ERROR); }
int32_t ModuleClose(void* self, void*) { CALL_INPUT(close, VORTAX_INTERNAL_ERROR); }
int32_t ModuleRead(void* self, void*, void* buffer, int32_t length) { CALL_INPUT(read, VORTAX_INTERNAL_ERROR, buffer, length); }
int32_t ModuleSeek(void* self, void*, int32_t offset) { CALL_INPUT(seek, VORTAX_UNSUPPORTED_INPUT, offset); }
int32_t ModuleFlags(void* self, void*) { CALL_INPUT(get_flags, 0); }
int32_t ModuleSize(void* self, void*) { CALL_INPUT(get_size, 0); }
int32_t ModuleControl(void* self, void*, int32_t a, int32_t b, int32_t c) { CALL_INPUT(control, VORTAX_UNSUPPORTED_INPUT, a, b, c); }
// A module without the 64-bit companions reaches and counts what 32 bits can.
int32_t ModuleSeek64(void* self, void* instance, int64_t offset) {
    const InputMethods* module = InputModule(static_cast<FilterNode*>(self));
    if (module && module->seek64) return module->seek64(InputInstance(static_cast<FilterNode*>(self)), offset);
    return offset <= INT32_MAX ? ModuleSeek(self, instance, static_cast<int32_t>(offset)) : VORTAX_UNSUPPORTED_INPUT;
}
int64_t ModuleSize64(void* self, void* instance) {
    const InputMethods* module = InputModule(static_cast<FilterNode*>(self));
    if (module && module->get_size64) return module->get_size64(InputInstance(static_cast<FilterNode*>(self)));
    return ModuleSize(self, instance);
}

int32_t ModuleOutOpen(void* self, void*) { CALL_OUTPUT(open, VORTAX_INTERNAL_ERROR); }
int32_t ModuleOutClose(void* self, void*) { CALL_OUTPUT(close, VORTAX_INTERNAL_ERROR); }
int32_t ModuleWrite(void* self, void*, const void* buffer, int32_t size, int32_t width, int32_t stereo, int32_t frequency) {
    CALL_OUTPUT(write, VORTAX_INTERNAL_ERROR, buffer, size, width, stereo, frequency);
}
void* ModuleGetBuffer(void* self, void*, int32_t size) { CALL_OUTPUT(get_buffer, nullptr, size); }
int32_t ModuleSetControl(void* self, void*, const OutputControl* control, int32_t mask) {
    CALL_OUTPUT(set_control, 0, control, mask);
}
int32_t ModuleGetControl(void* self, void*, OutputControl* control, int32_t mask) {
    const OutputMethods* module = OutputModule(static_cast<FilterNode*>(self));
    if (module && module->get_control) return module->get_control(OutputInstance(static_cast<FilterNode*>(self)), control, mask);
    // Without its own answer an output reports a centred, full-level stereo setting.
    control->stereo = 1;
    control->pcm_level = 100;
    control->master_level = 100;
    control->balance = 50;
    control->ports = 1;
    return VORTAX_OK;
}
int32_t ModuleDelay(void* self, void*, int32_t* value) { CALL_OUTPUT(delay, VORTAX_UNSUPPORTED_OUTPUT, value); }
int32_t ModuleCaps(void* self, void*) { CALL_OUTPUT(caps, VORTAX_CAPS_DEFAULT); }
int32_t ModuleCommand(void* self, void*, int32_t a, int32_t b, int32_t c) { CALL_OUTPUT(command, VORTAX_UNSUPPORTED_OUTPUT, a, b, c); }

#undef CALL_INPUT
#undef CALL_OUTPUT

}  // namespace

}  // namespace vortax

using namespace vortax;

// Passing a call on to the next node, for filters and for the engine itself.
extern "C" {
int32_t vortax_input_open(FilterNode* self) { return Next(self)->input.open(Next(self), Next(self)->instance); }
int32_t vortax_input_close(FilterNode* self) { return Next(self)->input.close(Next(self), Next(self)->instance); }
int32_t vortax_input_read(FilterNode* self, void* buffer, int32_t length) {
    return Next(self)->input.read(Next(self), Next(self)->instance, buffer, length);
}
int32_t vortax_input_seek(FilterNode* self, int32_t offset) {
    return Next(self)->input.seek(Next(self), Next(self)->instance, offset);
}
int32_t vortax_input_get_flags(FilterNode* self) { return Next(self)->input.get_flags(Next(self), Next(self)->instance); }
int32_t vortax_input_get_size(FilterNode* self) { return Next(self)->input.get_size(Next(self), Next(self)->instance); }
int32_t vortax_input_control(FilterNode* self, int32_t a, int32_t b, int32_t c) {
    return Next(self)->input.control(Next(self), Next(self)->instance, a, b, c);
}
int32_t vortax_input_seek64(FilterNode* self, int64_t offset) {
    return Next(self)->input.seek64(Next(self), Next(self)->instance, offset);
}
int64_t vortax_input_get_size64(FilterNode* self) { return Next(self)->input.get_size64(Next(self), Next(self)->instance); }
int32_t vortax_output_open(FilterNode* self) { return Next(self)->output.open(Next(self), Next(self)->instance); }
int32_t vortax_output_close(FilterNode* self) { return Next(self)->output.close(Next(self), Next(self)->instance); }
int32_t vortax_output_write(FilterNode* self, const void* buffer, int32_t size, int32_t width, int32_t stereo,
                            int32_t frequency) {
    return Next(self)->output.write(Next(self), Next(self)->instance, buffer, size, width, stereo, frequency);
}
void* vortax_output_get_buffer(FilterNode* self, int32_t size) {
    return Next(self)->output.get_buffer(Next(self), Next(self)->instance, size);
}
int32_t vortax_output_set_control(FilterNode* self, const OutputControl* control, int32_t mask) {
    return Next(self)->output.set_control(Next(self), Next(self)->instance, control, mask);
}
int32_t vortax_output_get_control(FilterNode* self, OutputControl* control, int32_t mask) {
    return Next(self)->output.get_control(Next(self), Next(self)->instance, control, mask);
}
int32_t vortax_output_delay(FilterNode* self, int32_t* value) {
    return Next(self)->output.delay(Next(self), Next(self)->instance, value);
}
int32_t vortax_output_caps(FilterNode* self) { return Next(self)->output.caps(Next(self), Next(self)->instance); }
int32_t vortax_output_command(FilterNode* self, int32_t a, int32_t b, int32_t c) {
    return Next(self)->output.command(Next(self), Next(self)->instance, a, b, c);
}

int32_t filter_node_id(const FilterNode* node) { return node ? node->id : VORTAX_INVALID_PARAMETERS; }
const char* filter_node_name(const FilterNode* node) {
    if (!node) return "";
    const auto name = node->input.get_name ? node->input.get_name : node->output.get_name;
    const char* text = name ? name() : nullptr;
    return text ? text : "";
}
void* filter_node_instance(const FilterNode* node) { return node ? node->instance : nullptr; }
}

namespace vortax {

namespace {

// A filter's missing stream methods pass the call to the next node.
void FillInput(InputFilterMethods& m) {
    using Self = FilterNode*;
    const bool ownSeek = m.seek != nullptr;
    const bool ownSize = m.get_size != nullptr;
    if (!m.open) m.open = [](void* self, void*) { return vortax_input_open(static_cast<Self>(self)); };
    if (!m.close) m.close = [](void* self, void*) { return vortax_input_close(static_cast<Self>(self)); };
    if (!m.read)
        m.read = [](void* self, void*, void* buffer, int32_t length) {
            return vortax_input_read(static_cast<Self>(self), buffer, length);
        };
    if (!m.seek) m.seek = [](void* self, void*, int32_t offset) { return vortax_input_seek(static_cast<Self>(self), offset); };
    if (!m.get_flags) m.get_flags = [](void* self, void*) { return vortax_input_get_flags(static_cast<Self>(self)); };
    if (!m.get_size) m.get_size = [](void* self, void*) { return vortax_input_get_size(static_cast<Self>(self)); };
    if (!m.control)
        m.control = [](void* self, void*, int32_t a, int32_t b, int32_t c) {
            return vortax_input_control(static_cast<Self>(self), a, b, c);
        };
    // A filter that seeks or sizes in 32 bits only is asked those for the 64-bit calls too.
    if (!m.seek64 && ownSeek)
        m.seek64 = [](void* self, void* instance, int64_t offset) {
            return offset <= INT32_MAX ? static_cast<Self>(self)->input.seek(self, instance, static_cast<int32_t>(offset))
                                       : VORTAX_UNSUPPORTED_INPUT;
        };
    if (!m.seek64)
        m.seek64 = [](void* self, void*, int64_t offset) { return vortax_input_seek64(static_cast<Self>(self), offset); };
    if (!m.get_size64 && ownSize)
        m.get_size64 = [](void* self, void* instance) -> int64_t { return static_cast<Self>(self)->input.get_size(self, instance); };
    if (!m.get_size64) m.get_size64 = [](void* self, void*) { return vortax_input_get_size64(static_cast<Self>(self)); };
}

void FillOutput(OutputFilterMethods& m) {
    using Self = FilterNode*;
    if (!m.open) m.open = [](void* self, void*) { return vortax_output_open(static_cast<Self>(self)); };
    if (!m.close) m.close = [](void* self, void*) { return vortax_output_close(static_cast<Self>(self)); };
    if (!m.write)
        m.write = [](void* self, void*, const void* buffer, int32_t size, int32_t width, int32_t stereo, int32_t frequency) {
            return vortax_output_write(static_cast<Self>(self), buffer, size, width, stereo, frequency);
        };
    if (!m.get_buffer)
        m.get_buffer = [](void* self, void*, int32_t size) { return vortax_output_get_buffer(static_cast<Self>(self), size); };
    if (!m.set_control)
        m.set_control = [](void* self, void*, const OutputControl* control, int32_t mask) {
            return vortax_output_set_control(static_cast<Self>(self), control, mask);
        };
    if (!m.get_control)
        m.get_control = [](void* self, void*, OutputControl* control, int32_t mask) {
            return vortax_output_get_control(static_cast<Self>(self), control, mask);
        };
    if (!m.delay) m.delay = [](void* self, void*, int32_t* value) { return vortax_output_delay(static_cast<Self>(self), value); };
    if (!m.caps) m.caps = [](void* self, void*) { return vortax_output_caps(static_cast<Self>(self)); };
    if (!m.command)
        m.command = [](void* self, void*, int32_t a, int32_t b, int32_t c) {
            return vortax_output_command(static_cast<Self>(self), a, b, c);
        };
}

FilterNode* Terminal(FilterNode* front) {
    while (front->next) front = front->next;
    return front;
}

int32_t SmallestFreeId(FilterNode* front) {
    for (int32_t id = 1;; ++id) {
        bool taken = false;
        for (FilterNode* node = front; node; node = node->next) taken = taken || node->id == id;
        if (!taken) return id;
    }
}

// Links `node` in front of `before`; the chain's front may change.
void LinkBefore(FilterNode*& front, FilterNode* node, FilterNode* before) {
    node->next = before;
    node->previous = before->previous;
    if (before->previous)
        before->previous->next = node;
    else
        front = node;
    before->previous = node;
}

FilterNode* PlaceFor(FilterNode* front, int32_t position) {
    if (position == -1) return front;
    FilterNode* terminal = Terminal(front);
    if (position <= 1) return terminal;
    for (FilterNode* node = front; node != terminal; node = node->next)
        if (node->id == position) return node;
    return terminal;
}

FilterNode* Find(FilterNode* front, const char* name, int32_t selector) {
    FilterNode* terminal = Terminal(front);
    if (selector == -2) {
        if (!name || !*name) return nullptr;
        for (FilterNode* node = front; node != terminal; node = node->next)
            if (std::strcmp(filter_node_name(node), name) == 0) return node;
        return nullptr;
    }
    if (selector == -1) return front;
    if (selector == 0) return terminal->previous;
    for (FilterNode* node = front; node != terminal; node = node->next)
        if (node->id == selector) return node;
    return nullptr;
}

template <typename Methods>
int32_t AddFilter(EngineContext* context, FilterNode*& front, const Methods* methods, int32_t position,
                  void (*fill)(Methods&), Methods FilterNode::*slot) {
    if (!context || !methods || !methods->get_name || position < -1) return VORTAX_INVALID_PARAMETERS;
    FilterNode* node = new (std::nothrow) FilterNode;
    if (!node) return VORTAX_OUT_OF_MEMORY;
    node->*slot = *methods;
    fill(node->*slot);
    node->id = SmallestFreeId(front);
    node->context = context;
    if (methods->new_instance) {
        if (const int32_t code = methods->new_instance(&node->instance, node->id, context); code < 0) {
            delete node;
            return code;
        }
    }
    LinkBefore(front, node, PlaceFor(front, position));
    return node->id;
}

int32_t RemoveFilter(FilterNode*& front, const char* name, int32_t selector, bool input) {
    FilterNode* node = Find(front, name, selector);
    if (!node || node->id == 0) return VORTAX_MODULE_NOT_FOUND;
    if (node->previous)
        node->previous->next = node->next;
    else
        front = node->next;
    node->next->previous = node->previous;
    const auto remove = input ? node->input.delete_instance : node->output.delete_instance;
    if (remove) remove(node->instance);
    delete node;
    return front->id;
}

int32_t Enumerate(FilterNode* front, uint32_t user, FilterCallback callback) {
    if (!callback) return VORTAX_INVALID_PARAMETERS;
    for (FilterNode* node = front; node && node->id != 0; node = node->next) callback(user, node);
    return VORTAX_OK;
}

}  // namespace

FilterNode* NewInputChain(EngineContext* context) {
    FilterNode* node = new (std::nothrow) FilterNode;
    if (!node) return nullptr;
    node->context = context;
    node->input = InputFilterMethods{nullptr,    nullptr,     nullptr,    ModuleOpen,    ModuleClose,  ModuleRead,
                                     ModuleSeek, ModuleFlags, ModuleSize, ModuleControl, ModuleSeek64, ModuleSize64};
    return node;
}

FilterNode* NewOutputChain(EngineContext* context) {
    FilterNode* node = new (std::nothrow) FilterNode;
    if (!node) return nullptr;
    node->context = context;
    node->output = OutputFilterMethods{nullptr,        nullptr,         nullptr,          ModuleOutOpen,
                                       ModuleOutClose, ModuleWrite,     ModuleGetBuffer,  ModuleSetControl,
                                       ModuleGetControl, ModuleDelay,   ModuleCaps,       ModuleCommand};
    return node;
}

void DeleteChain(FilterNode* front, bool input) {
    while (front) {
        FilterNode* next = front->next;
        const auto remove = input ? front->input.delete_instance : front->output.delete_instance;
        if (front->id != 0 && remove) remove(front->instance);
        delete front;
        front = next;
    }
}

}  // namespace vortax

extern "C" {
int32_t input_filter_add(EngineContext* context, const InputFilterMethods* methods, int32_t position) {
    return context ? AddFilter(context, context->state->inputChain, methods, position, FillInput, &FilterNode::input)
                   : VORTAX_INVALID_PARAMETERS;
}
int32_t output_filter_add(EngineContext* context, const OutputFilterMethods* methods, int32_t position) {
    return context ? AddFilter(context, context->state->outputChain, methods, position, FillOutput, &FilterNode::output)
                   : VORTAX_INVALID_PARAMETERS;
}
int32_t input_filter_remove(EngineContext* context, const char* name, int32_t selector) {
    return context ? RemoveFilter(context->state->inputChain, name, selector, true) : VORTAX_INVALID_PARAMETERS;
}
int32_t output_filter_remove(EngineContext* context, const char* name, int32_t selector) {
    return context ? RemoveFilter(context->state->outputChain, name, selector, false) : VORTAX_INVALID_PARAMETERS;
}
int32_t input_filter_enumerate(EngineContext* context, uint32_t user, FilterCallback callback) {
    return context ? Enumerate(context->state->inputChain, user, callback) : VORTAX_INVALID_PARAMETERS;
}
int32_t output_filter_enumerate(EngineContext* context, uint32_t user, FilterCallback callback) {
    return context ? Enumerate(context->state->outputChain, user, callback) : VORTAX_INVALID_PARAMETERS;
}
}
