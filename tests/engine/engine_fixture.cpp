#include "engine_fixture.h"

#include <fstream>
#include <iterator>
#include <unistd.h>

#include "frame_header.h"

uint32_t HeaderWord(const HeaderFields& f) {
    const int id = f.version_code == 1 ? 1 : 0;
    const int high = f.version_code == 2 ? 0 : 1;
    return (0x7FFu << 21) | (static_cast<uint32_t>(high) << 20) | (static_cast<uint32_t>(id) << 19) |
           (static_cast<uint32_t>(4 - f.layer) << 17) | (f.crc ? 0u : 1u) << 16 |
           (static_cast<uint32_t>(f.bitrate_index) << 12) | (static_cast<uint32_t>(f.frequency_index) << 10) |
           (f.padding ? 1u : 0u) << 9 | (static_cast<uint32_t>(f.mode) << 6);
}

Bytes Frame(const HeaderFields& fields) {
    const uint32_t word = HeaderWord(fields);
    FrameHeader header;
    EXPECT_TRUE(ParseHeader(word, header));
    Bytes bytes(static_cast<size_t>(header.length), 0);
    for (int i = 0; i < 4; ++i) bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(word >> (24 - 8 * i));
    return bytes;
}

Bytes Frames(const HeaderFields& fields, int count) {
    Bytes bytes;
    for (int i = 0; i < count; ++i) {
        const Bytes frame = Frame(fields);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

namespace {

std::vector<int16_t> written;
int32_t AnyName(const char*) { return 0; }
int32_t NewOutput(void** instance, const char*, const ModuleRecord*, EngineContext*) {
    *instance = &written;
    return 0;
}
int32_t Nothing(void*) { return 0; }
int32_t Keep(void*, const void* buffer, int32_t size, int32_t, int32_t, int32_t) {
    const auto* samples = static_cast<const int16_t*>(buffer);
    written.insert(written.end(), samples, samples + size / 2);
    return size;
}

}  // namespace

std::vector<int16_t> DecodeFile(const std::string& path, const std::function<void(EngineContext*)>& configure) {
    written.clear();
    EngineContext* context = nullptr;
    EXPECT_EQ(engine_create(&context), 0);
    const OutputMethods memory = {AnyName, nullptr, NewOutput, Nothing, Nothing, Nothing, Keep,
                                  nullptr, nullptr, nullptr,   nullptr, nullptr, nullptr};
    register_input_module(context, &FileInputModule);
    register_output_module(context, &memory);
    if (configure) configure(context);
    EXPECT_EQ(input_select(context, path.c_str(), -1), 0);
    EXPECT_EQ(input_open(context), 0);
    EXPECT_EQ(output_select(context, "", -1), 0);
    EXPECT_EQ(output_open(context), 0);
    int32_t code = 0;
    while ((code = engine_decode_frame(context)) == 0) {
    }
    EXPECT_EQ(code, VORTAX_INPUT_END) << error_name(code);
    engine_destroy(context);
    return written;
}

void EngineTest::SetUp() {
    folder = std::filesystem::temp_directory_path() /
             ("vortax-test-" + std::to_string(::getpid()) + "-" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
    ASSERT_EQ(engine_create(&context), 0);
    context->user = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this) & 0xFFFFFFFF);
    static EngineTest* current = nullptr;
    current = this;
    context->notify = [](uint32_t, int32_t, int32_t, const char* message, const char* detail) {
        current->notes.push_back(std::string(message) + ": " + detail);
    };
    ASSERT_EQ(register_input_module(context, &FileInputModule), 0);
    ASSERT_EQ(register_output_module(context, &FileOutputModule), 0);
}

void EngineTest::TearDown() {
    engine_destroy(context);
    std::filesystem::remove_all(folder);
}

std::string EngineTest::Write(const std::string& name, const Bytes& bytes) {
    const std::string path = (folder / name).string();
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

Bytes EngineTest::Read(const std::string& path) const {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

int32_t EngineTest::OpenInput(const std::string& path) {
    if (const int32_t code = input_select(context, path.c_str(), -1); code < 0) return code;
    return input_open(context);
}
