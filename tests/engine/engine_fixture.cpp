#include "engine_fixture.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "frame_header.h"

Bytes Joined(const std::vector<Bytes>& parts) {
    Bytes bytes;
    for (const Bytes& part : parts) bytes.insert(bytes.end(), part.begin(), part.end());
    return bytes;
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }
Bytes Little(uint32_t v) { return Bytes{uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

namespace {

Bytes Syncsafe(size_t size) {
    Bytes bytes;
    for (int shift = 21; shift >= 0; shift -= 7) bytes.push_back(static_cast<uint8_t>((size >> shift) & 0x7F));
    return bytes;
}

Bytes BigEndian(size_t value, int bytes) {
    Bytes big;
    for (int i = bytes - 1; i >= 0; --i) big.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return big;
}

}  // namespace

Bytes Id3Frame(int version, std::string_view id, const Bytes& data, uint8_t flags) {
    const Bytes size = version == 4 ? Syncsafe(data.size()) : BigEndian(data.size(), version == 2 ? 3 : 4);
    return Joined({Text(id), size, version > 2 ? Bytes{0, flags} : Bytes{}, data});
}

Bytes Id3Tag(int version, uint8_t flags, const Bytes& body) {
    const auto v = static_cast<uint8_t>(version);
    const Bytes footer = flags & 0x10 ? Joined({Text("3DI"), {v, 0, flags}, Syncsafe(body.size())}) : Bytes{};
    return Joined({Text("ID3"), {v, 0, flags}, Syncsafe(body.size()), body, footer});
}

Bytes Id3v2Tag(size_t body, bool footer) {
    const Bytes fake = Frame({});
    Bytes copies(body);
    for (size_t i = 0; i < body; ++i) copies[i] = fake[i % fake.size()];
    return Id3Tag(4, footer ? 0x10 : 0, copies);
}

PipeWriter::PipeWriter(const std::string& path, Bytes bytes) {
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0) << path;
    writer = std::thread([path, bytes = std::move(bytes)] {
        // A reader that stops early fails the write, rather than ending the tests.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        const int out = ::open(path.c_str(), O_WRONLY);
        for (size_t sent = 0; out >= 0 && sent < bytes.size();) {
            const ssize_t wrote = ::write(out, bytes.data() + sent, bytes.size() - sent);
            if (wrote <= 0) break;
            sent += static_cast<size_t>(wrote);
        }
        if (out >= 0) ::close(out);
    });
}

PipeWriter::~PipeWriter() { writer.join(); }

void WriteClick(const std::string& path, int rate, int channels, int length, int click) {
    std::vector<int16_t> samples(static_cast<size_t>(length * channels), 0);
    for (int c = 0; c < channels; ++c) samples[static_cast<size_t>(click * channels + c)] = 24000;
    const auto data = static_cast<uint32_t>(samples.size() * 2);
    std::ofstream out(path, std::ios::binary);
    auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out.put(static_cast<char>(value >> (8 * i)));
    };
    out.write("RIFF", 4);
    put(36 + data, 4);
    out.write("WAVEfmt ", 8);
    put(16, 4);
    put(1, 2);
    put(static_cast<uint32_t>(channels), 2);
    put(static_cast<uint32_t>(rate), 4);
    put(static_cast<uint32_t>(rate * channels * 2), 4);
    put(static_cast<uint32_t>(channels * 2), 2);
    put(16, 2);
    out.write("data", 4);
    put(data, 4);
    out.write(reinterpret_cast<const char*>(samples.data()), data);
}

namespace {

int32_t AnyName(const char*) { return 0; }
int32_t NewOutput(void** instance, const char*, const ModuleRecord*, EngineContext*) {
    *instance = &memory;
    return 0;
}
int32_t Nothing(void*) { return 0; }
int32_t Keep(void*, const void* buffer, int32_t size, int32_t, int32_t, int32_t) {
    const auto* samples = static_cast<const int16_t*>(buffer);
    const int32_t taken = std::min(size, memory.take);
    return memory.kept.insert(memory.kept.end(), samples, samples + std::max(0, taken) / 2), taken;
}
// Takes every change of format, so that every block arrives as the stream decoded it.
int32_t Follow(void*, const OutputControl*, int32_t) { return memory.control; }

}  // namespace

Memory memory;
const OutputMethods MemoryOutput = {AnyName, nullptr, NewOutput, Nothing, Nothing, Nothing, Keep,
                                    nullptr, Follow,  nullptr,   nullptr, nullptr, nullptr};

std::vector<int16_t> Rest(EngineContext* context) {
    memory.kept.clear();
    int32_t code = 0;
    while ((code = engine_decode_frame(context)) == 0) {}
    EXPECT_EQ(code, VORTAX_INPUT_END) << error_name(code);
    return memory.kept;
}

std::vector<int16_t> DecodeFile(const std::string& path, const std::function<void(EngineContext*)>& configure) {
    memory = {};
    EngineContext* context = nullptr;
    EXPECT_EQ(engine_create(&context), 0);
    register_input_module(context, &FileInputModule);
    register_output_module(context, &MemoryOutput);
    if (configure) configure(context);
    EXPECT_EQ(input_select(context, path.c_str(), -1), 0);
    EXPECT_EQ(input_open(context), 0);
    EXPECT_EQ(output_select(context, "", -1), 0);
    EXPECT_EQ(output_open(context), 0);
    const std::vector<int16_t> pcm = Rest(context);
    engine_destroy(context);
    return pcm;
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

int32_t EngineTest::Convert(const std::string& input, int* frames) {
    const std::string output = "wav:" + (folder / "out.wav").string();
    if (const int32_t code = output_select(context, output.c_str(), -1); code < 0) return code;
    if (const int32_t code = output_open(context); code < 0) return code;
    int32_t code = OpenInput(input);
    int decoded = 0;
    for (int guard = 0; code >= 0 && guard < 100000; ++guard) {
        code = engine_decode_frame(context);
        if (code == 0) ++decoded;
        if (code == VORTAX_INVALID_FRAME) code = 0;
    }
    if (frames) *frames = decoded;
    input_close(context);
    output_close(context);
    return code;
}

void LameTest::SetUp() {
    EngineTest::SetUp();
    if (std::system("command -v lame >/dev/null 2>&1") != 0) GTEST_SKIP() << "lame is not installed";
}

std::string LameTest::Lame(const std::string& name, const std::string& options, int rate, int channels, int length,
                           int click) {
    const std::string wav = (folder / (name + ".wav")).string();
    const std::string mp3 = (folder / (name + ".mp3")).string();
    WriteClick(wav, rate, channels, length, click);
    const std::string command = "lame --quiet " + options + " '" + wav + "' '" + mp3 + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return mp3;
}
