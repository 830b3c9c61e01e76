#include <cstdio>
#include <cstring>
#include <new>

#include "state.h"

namespace vortax {

namespace {

// new, delete, open, close and read (write for an output) are what every module needs.
const char* MissingMethod(const void* create, const void* remove, const void* open, const void* close,
                          const void* transfer, bool output) {
    if (!create || !remove) return "null 'new' method in module";
    if (!open) return "null 'open' method in module";
    if (!close) return "null 'close' method in module";
    if (!transfer) return output ? "null 'write' method in module" : "null 'read' method in module";
    return nullptr;
}

int32_t Register(EngineContext* context, ModuleRecord*& list, int32_t& counter, const InputMethods* in,
                 const OutputMethods* out) {
    if (!context || (!in && !out)) return VORTAX_INVALID_PARAMETERS;
    const char* missing = in ? MissingMethod(reinterpret_cast<const void*>(in->new_instance),
                                             reinterpret_cast<const void*>(in->delete_instance),
                                             reinterpret_cast<const void*>(in->open),
                                             reinterpret_cast<const void*>(in->close),
                                             reinterpret_cast<const void*>(in->read), false)
                             : MissingMethod(reinterpret_cast<const void*>(out->new_instance),
                                             reinterpret_cast<const void*>(out->delete_instance),
                                             reinterpret_cast<const void*>(out->open),
                                             reinterpret_cast<const void*>(out->close),
                                             reinterpret_cast<const void*>(out->write), true);
    if (missing) {
        Notify(context, 0, "internal error", missing);
        return VORTAX_INTERNAL_ERROR;
    }
    ModuleRecord* record = new (std::nothrow) ModuleRecord{};
    if (!record) return VORTAX_OUT_OF_MEMORY;
    if (in) record->input = *in;
    if (out) record->output = *out;
    record->id = list ? list->id + 1 : 0;
    record->next = list;
    list = record;
    ++counter;
    return record->id;
}

const ModuleRecord* ById(const ModuleRecord* list, int32_t id) {
    for (; list; list = list->next)
        if (list->id == id) return list;
    return nullptr;
}

int32_t Info(const ModuleRecord* module, int32_t (*query)(ModuleInfo*, int32_t), ModuleInfo* info, int32_t flags) {
    if (!module) return VORTAX_MODULE_NOT_FOUND;
    if (!info) return VORTAX_INVALID_PARAMETERS;
    if (query) return query(info, flags);
    // A module that cannot describe itself.
    if (flags & VORTAX_MODULE_INFO_NAME) {
        std::snprintf(info->name, sizeof info->name, "%s", "unknown module name");
        info->description[0] = '\0';
    }
    if (flags & VORTAX_MODULE_INFO_COUNT) info->index = 1;
    if (!(flags & VORTAX_MODULE_INFO_NAME) && (flags & VORTAX_MODULE_INFO_DEVICE)) {
        if (info->index != 0) return VORTAX_INVALID_PARAMETERS;
        std::snprintf(info->name, sizeof info->name, "%s", "unknown device name");
        info->device_flags = VORTAX_DEVICE_PATTERN;
    }
    return VORTAX_OK;
}

}  // namespace

const ModuleRecord* FindModule(const ModuleRecord* list, const char* name, int32_t id, bool input) {
    if (id != -1) return ById(list, id);
    for (; list; list = list->next) {
        const auto probe = input ? list->input.probe : list->output.probe;
        if (probe && probe(name) == 0) return list;
    }
    return nullptr;
}

void DeleteModules(ModuleRecord* list) {
    while (list) {
        ModuleRecord* next = list->next;
        delete list;
        list = next;
    }
}

}  // namespace vortax

using namespace vortax;

extern "C" {
int32_t register_input_module(EngineContext* context, const InputMethods* methods) {
    return context ? Register(context, context->state->inputModules, context->input_modules, methods, nullptr)
                   : VORTAX_INVALID_PARAMETERS;
}

int32_t register_output_module(EngineContext* context, const OutputMethods* methods) {
    return context ? Register(context, context->state->outputModules, context->output_modules, nullptr, methods)
                   : VORTAX_INVALID_PARAMETERS;
}

int32_t input_module_info(EngineContext* context, int32_t id, ModuleInfo* info, int32_t flags) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    const ModuleRecord* module = ById(context->state->inputModules, id);
    return Info(module, module ? module->input.query : nullptr, info, flags);
}

int32_t output_module_info(EngineContext* context, int32_t id, ModuleInfo* info, int32_t flags) {
    if (!context) return VORTAX_INVALID_PARAMETERS;
    const ModuleRecord* module = ById(context->state->outputModules, id);
    return Info(module, module ? module->output.query : nullptr, info, flags);
}
}
