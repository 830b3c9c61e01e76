#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "engine_fixture.h"

namespace {

// Output modules that take every name and count their calls.
int writes = 0;
int32_t TakeAll(const char*) { return 0; }
int32_t NewPlain(void** instance, const char*, const ModuleRecord* module, EngineContext*) {
    *instance = reinterpret_cast<void*>(static_cast<intptr_t>(module->id + 1));
    return 0;
}
int32_t Ok(void*) { return 0; }
int32_t CountWrite(void*, const void*, int32_t size, int32_t, int32_t, int32_t) {
    ++writes;
    return size;
}

OutputMethods PlainOutput() {
    OutputMethods methods{};
    methods.probe = TakeAll;
    methods.new_instance = NewPlain;
    methods.delete_instance = Ok;
    methods.open = Ok;
    methods.close = Ok;
    methods.write = CountWrite;
    return methods;
}

using RegistryTest = EngineTest;

TEST_F(RegistryTest, ModulesGetIdsInOrderAndTheNewestIsAskedFirst) {
    const OutputMethods plain = PlainOutput();
    EXPECT_EQ(register_output_module(context, &plain), 1);
    EXPECT_EQ(register_output_module(context, &plain), 2);
    EXPECT_EQ(context->output_modules, 3);
    ASSERT_EQ(output_select(context, "", -1), 0);
    EXPECT_EQ(context->output.module->id, 2);
    ASSERT_EQ(output_select(context, "x", 0), 0);
    EXPECT_EQ(context->output.module->id, 0);
    EXPECT_EQ(output_select(context, "x", 7), VORTAX_MODULE_NOT_FOUND);
    EXPECT_EQ(register_output_module(nullptr, &plain), VORTAX_INVALID_PARAMETERS);
}

TEST_F(RegistryTest, AModuleWithoutAnEssentialMethodIsRefusedAndReported) {
    const struct {
        int32_t (*OutputMethods::*method)(void*);
        const char* detail;
    } essentials[] = {{&OutputMethods::open, "null 'open' method in module"},
                      {&OutputMethods::close, "null 'close' method in module"},
                      {&OutputMethods::delete_instance, "null 'new' method in module"}};
    for (const auto& essential : essentials) {
        OutputMethods methods = PlainOutput();
        methods.*essential.method = nullptr;
        notes.clear();
        EXPECT_EQ(register_output_module(context, &methods), VORTAX_INTERNAL_ERROR);
        EXPECT_EQ(notes, std::vector<std::string>{std::string("internal error: ") + essential.detail});
    }
    OutputMethods noWrite = PlainOutput();
    noWrite.write = nullptr;
    EXPECT_EQ(register_output_module(context, &noWrite), VORTAX_INTERNAL_ERROR);
    InputMethods noRead = FileInputModule;
    noRead.read = nullptr;
    EXPECT_EQ(register_input_module(context, &noRead), VORTAX_INTERNAL_ERROR);
    EXPECT_EQ(notes.back(), "internal error: null 'read' method in module");
    EXPECT_EQ(context->output_modules, 1);
}

TEST_F(RegistryTest, ModuleInfoComesFromTheModuleOrItsDefaults) {
    ModuleInfo info{};
    ASSERT_EQ(input_module_info(context, 0, &info, VORTAX_MODULE_INFO_NAME | VORTAX_MODULE_INFO_COUNT), 0);
    EXPECT_STREQ(info.name, "Input From File");
    EXPECT_STREQ(info.description, "Version 1.2");
    EXPECT_EQ(info.index, 2);
    info.index = 1;
    ASSERT_EQ(output_module_info(context, 0, &info, VORTAX_MODULE_INFO_DEVICE), 0);
    EXPECT_STREQ(info.name, "wav:*");
    EXPECT_EQ(info.device_flags, VORTAX_DEVICE_PATTERN);
    info.index = 5;
    EXPECT_EQ(output_module_info(context, 0, &info, VORTAX_MODULE_INFO_DEVICE), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(output_module_info(context, 9, &info, VORTAX_MODULE_INFO_NAME), VORTAX_MODULE_NOT_FOUND);

    const OutputMethods plain = PlainOutput();
    const int32_t id = register_output_module(context, &plain);
    ASSERT_EQ(output_module_info(context, id, &info, VORTAX_MODULE_INFO_NAME | VORTAX_MODULE_INFO_COUNT), 0);
    EXPECT_STREQ(info.name, "unknown module name");
    EXPECT_EQ(info.index, 1);
    info.index = 0;
    ASSERT_EQ(output_module_info(context, id, &info, VORTAX_MODULE_INFO_DEVICE), 0);
    EXPECT_STREQ(info.name, "unknown device name");
    info.index = 1;
    EXPECT_EQ(output_module_info(context, id, &info, VORTAX_MODULE_INFO_DEVICE), VORTAX_INVALID_PARAMETERS);
}

// Filters that note what passes them.
std::vector<std::string> seen;
const char* NameA() { return "a"; }
const char* NameB() { return "b"; }
int32_t NoteWrite(void* self, void*, const void* buffer, int32_t size, int32_t width, int32_t stereo, int32_t frequency) {
    seen.push_back(filter_node_name(static_cast<FilterNode*>(self)));
    return vortax_output_write(static_cast<FilterNode*>(self), buffer, size, width, stereo, frequency);
}
int deleted = 0;
int32_t CountDelete(void*) {
    ++deleted;
    return 0;
}

OutputFilterMethods Filter(const char* (*name)()) {
    OutputFilterMethods methods{};
    methods.get_name = name;
    methods.delete_instance = CountDelete;
    methods.write = NoteWrite;
    return methods;
}

std::vector<int32_t> Ids(EngineContext* context) {
    static std::vector<int32_t> ids;
    ids.clear();
    output_filter_enumerate(context, 0, [](uint32_t, const FilterNode* node) { ids.push_back(filter_node_id(node)); });
    return ids;
}

TEST_F(RegistryTest, FilterIdsReuseTheSmallestFreeNumber) {
    const OutputFilterMethods a = Filter(NameA);
    EXPECT_EQ(output_filter_add(context, &a, 0), 1);
    EXPECT_EQ(output_filter_add(context, &a, 0), 2);
    EXPECT_EQ(output_filter_add(context, &a, 0), 3);
    EXPECT_EQ(output_filter_remove(context, nullptr, 2), 1);
    EXPECT_EQ(output_filter_add(context, &a, 0), 2);
    EXPECT_EQ(Ids(context), (std::vector<int32_t>{1, 3, 2}));
}

TEST_F(RegistryTest, FiltersGoWhereAskedAndSeeEveryCallOnTheWay) {
    const OutputFilterMethods a = Filter(NameA);
    const OutputFilterMethods b = Filter(NameB);
    ASSERT_EQ(output_filter_add(context, &a, 0), 1);   // next to the module
    ASSERT_EQ(output_filter_add(context, &b, -1), 2);  // at the front
    ASSERT_EQ(output_filter_add(context, &a, 1), 3);   // next to the module again
    ASSERT_EQ(output_filter_add(context, &b, 2), 4);   // in front of filter 2
    EXPECT_EQ(Ids(context), (std::vector<int32_t>{4, 2, 1, 3}));

    const OutputMethods plain = PlainOutput();
    ASSERT_GE(register_output_module(context, &plain), 0);
    ASSERT_EQ(output_select(context, "", -1), 0);
    ASSERT_EQ(output_open(context), 0);
    seen.clear();
    writes = 0;
    const int16_t samples[4] = {};
    EXPECT_EQ(output_write(context, samples, 8, 2, 1, 44100), 8);
    EXPECT_EQ(seen, (std::vector<std::string>{"b", "b", "a", "a"}));
    EXPECT_EQ(writes, 1);
    // Methods a filter leaves out pass straight through, to the module's defaults here.
    EXPECT_EQ(context->output.caps, VORTAX_CAPS_DEFAULT);
    OutputControl control{};
    EXPECT_EQ(output_get_control(context, &control, 0x7F), 0);
    EXPECT_EQ(control.balance, 50);
    EXPECT_EQ(control.master_level, 100);
}

TEST_F(RegistryTest, FiltersAreRemovedByNameFrontBackOrIdButNeverTheModule) {
    const OutputFilterMethods a = Filter(NameA);
    const OutputFilterMethods b = Filter(NameB);
    for (const OutputFilterMethods* filter : {&a, &b, &a, &b}) output_filter_add(context, filter, 0);
    deleted = 0;
    EXPECT_EQ(output_filter_remove(context, "b", -2), 1);  // the first b from the front: id 2
    EXPECT_EQ(Ids(context), (std::vector<int32_t>{1, 3, 4}));
    EXPECT_EQ(output_filter_remove(context, nullptr, -1), 3);  // the front
    EXPECT_EQ(output_filter_remove(context, nullptr, 0), 3);   // the one next to the module
    EXPECT_EQ(Ids(context), (std::vector<int32_t>{3}));
    EXPECT_EQ(output_filter_remove(context, "", -2), VORTAX_MODULE_NOT_FOUND);
    EXPECT_EQ(output_filter_remove(context, nullptr, 9), VORTAX_MODULE_NOT_FOUND);
    EXPECT_EQ(output_filter_remove(context, nullptr, 3), 0);
    EXPECT_EQ(output_filter_remove(context, nullptr, 0), VORTAX_MODULE_NOT_FOUND);
    EXPECT_EQ(output_filter_remove(context, nullptr, -1), VORTAX_MODULE_NOT_FOUND);
    EXPECT_EQ(deleted, 4);

    OutputFilterMethods nameless{};
    EXPECT_EQ(output_filter_add(context, &nameless, 0), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(output_filter_add(context, &a, -2), VORTAX_INVALID_PARAMETERS);
    nameless.get_name = []() -> const char* { return nullptr; };  // looked for by name, it is ""
    ASSERT_GT(output_filter_add(context, &nameless, 0), 0);
    EXPECT_EQ(output_filter_remove(context, "a", -2), VORTAX_MODULE_NOT_FOUND);
}

// Variables and watchers.
std::vector<std::string> told;

void NoteString(uint32_t user, const char* name, const void* value) {
    told.push_back(std::to_string(user) + " " + name + "=" + (value ? static_cast<const char*>(value) : "(gone)"));
}

TEST_F(RegistryTest, VariablesKeepOneValueAndTellTheirWatchersOncePerChange) {
    told.clear();
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(watcher_add(context, "rate", 1, NoteString, &first), 0);
    ASSERT_EQ(watcher_add(context, "rate", 2, NoteString, &second), 0);
    ASSERT_EQ(watcher_add(context, "other", 3, NoteString, nullptr), 0);
    ASSERT_EQ(variable_set_string(context, "rate", "fast"), 0);
    ASSERT_EQ(variable_set_string(context, "rate", "slow"), 0);
    EXPECT_EQ(told, (std::vector<std::string>{"2 rate=fast", "1 rate=fast", "2 rate=slow", "1 rate=slow"}));
    char text[16] = {};
    ASSERT_EQ(variable_get_string(context, "rate", text), 0);
    EXPECT_STREQ(text, "slow");

    // The older watcher goes; the newer still hears.
    ASSERT_EQ(watcher_remove(context, first), 0);
    EXPECT_EQ(watcher_remove(context, first), VORTAX_INVALID_PARAMETERS);
    told.clear();
    ASSERT_EQ(variable_remove(context, "rate"), 0);
    EXPECT_EQ(told, (std::vector<std::string>{"2 rate=(gone)"}));
    EXPECT_EQ(variable_remove(context, "rate"), VORTAX_NO_SUCH_VARIABLE);
    EXPECT_EQ(variable_get_string(context, "rate", text), VORTAX_NO_SUCH_VARIABLE);
}

TEST_F(RegistryTest, PointerAndStringVariablesDoNotMix) {
    int value = 42;
    void* got = nullptr;
    ASSERT_EQ(variable_set_pointer(context, "p", &value), 0);
    EXPECT_EQ(variable_set_string(context, "p", "text"), VORTAX_INVALID_VARIABLE_TYPE);
    ASSERT_EQ(context->get_pointer(context, "p", &got), 0);
    EXPECT_EQ(got, &value);
    char text[8];
    EXPECT_EQ(variable_get_string(context, "p", text), VORTAX_INVALID_VARIABLE_TYPE);
    ASSERT_EQ(variable_set_string(context, "s", "x"), 0);
    EXPECT_EQ(variable_set_pointer(context, "s", &value), VORTAX_INVALID_VARIABLE_TYPE);
    EXPECT_EQ(variable_get_pointer(context, "s", &got), VORTAX_INVALID_VARIABLE_TYPE);
    EXPECT_EQ(variable_set_string(context, nullptr, "x"), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(variable_set_string(nullptr, "x", "x"), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(watcher_add(context, "x", 0, nullptr, nullptr), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(variable_get_pointer(context, "nothing", &got), VORTAX_NO_SUCH_VARIABLE);
}

TEST_F(RegistryTest, AStringIsCopiedOnlyIntoRoomForIt) {
    for (const int32_t length : {VORTAX_STRING_MAX - 1, VORTAX_STRING_MAX + 0}) {
        std::vector<char> room(VORTAX_STRING_MAX, '#');  // exactly: the sanitizer sees a byte past it
        ASSERT_EQ(variable_set_string(context, "s", std::string(size_t(length), 'x').c_str()), 0);
        EXPECT_EQ(variable_get_string(context, "s", room.data()), length < VORTAX_STRING_MAX ? 0 : VORTAX_INVALID_PARAMETERS);
        EXPECT_EQ(room[0], length < VORTAX_STRING_MAX ? 'x' : '#');
    }
    for (const size_t size : {0, 1, 16}) {
        std::vector<char> room(size);
        for (auto get : {variable_get_string_sized, context->get_string_sized})
            EXPECT_EQ(get(context, "s", room.data(), size), VORTAX_STRING_MAX) << size;
        EXPECT_TRUE(size == 0 || std::string(room.data()) == std::string(size - 1, 'x')) << size;
    }
}

// Watchers 'a' and 'b' (told first) of "v"; b makes one change from its callback.
std::function<void()> change;
void* handles[2];
EngineContext* watched;
void Hear(uint32_t user, const char*, const void* value) {
    told.push_back(std::string(1, char(user)) + "=" + (value ? static_cast<const char*>(value) : "-"));
    if (user == 'b' && change) std::exchange(change, nullptr)();
}

TEST_F(RegistryTest, AWatcherMayChangeWatchersAndVariablesFromItsCallback) {
    const std::pair<std::function<void()>, std::vector<std::string>> cases[] = {
        {[] { watcher_remove(watched, handles[1]); }, {"b=1", "a=1", "a=2"}},
        {[] { watcher_remove(watched, handles[0]); }, {"b=1", "b=2"}},
        {[] { variable_remove(watched, "v"); }, {"b=1", "b=-", "a=-", "a=1", "b=2", "a=2"}},
        {[] { watcher_add(watched, "v", 'c', Hear, nullptr), variable_set_string(watched, "w", ""); }, {"b=1", "a=1", "c=2", "b=2", "a=2"}}};
    for (const auto& [which, expected] : cases) {
        ASSERT_TRUE(engine_destroy(context) == 0 && engine_create(&context) == 0);
        for (uint32_t i = 0; i < 2; ++i) ASSERT_EQ(watcher_add(watched = context, "v", 'a' + i, Hear, &handles[i]), 0);
        told.clear();
        change = which;
        for (const char* value : {"1", "2"}) ASSERT_EQ(variable_set_string(context, "v", value), 0);
        EXPECT_EQ(told, expected);
    }
}

}  // namespace
