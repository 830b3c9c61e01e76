#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <csignal>
#include <cstring>
#include <fstream>
#include <thread>

#include "engine_fixture.h"
#include "file_size_limit.h"
#include "pcm_headers.h"

using namespace vortax;
using namespace std::string_view_literals;

namespace {

uint32_t Le32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
uint64_t Le64(const Bytes& b, size_t at) { return Le32(b, at) | static_cast<uint64_t>(Le32(b, at + 4)) << 32; }
uint64_t Field(const Bytes& b, size_t at, size_t size, bool bigEndian) {
    uint64_t value = 0;
    for (size_t i = 0; i < size; ++i) value = value << 8 | b[bigEndian ? at + i : at + size - 1 - i];
    return value;
}

// Bytes that repeat only every 251, so that a piece out of place shows.
Bytes Pattern(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i % 251);
    return bytes;
}

class FileModuleTest : public EngineTest {
protected:
    std::string MakeFifo() {
        const std::string path = (folder / "pipe").string();
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
        return path;
    }
    // A conformance stream, 32 kHz stereo, decoded through the output `prefix`.
    Bytes Decoded(const std::string& prefix) {
        const std::string path = (folder / "out").string();
        EXPECT_EQ(OpenInput(CONFORMANCE_DIR "/l2-fl10.bit"), 0);
        EXPECT_EQ(output_select(context, (prefix + path).c_str(), -1), 0);
        EXPECT_EQ(output_open(context), 0);
        while (engine_decode_frame(context) == 0) {
        }
        EXPECT_EQ(output_close(context), 0);
        input_close(context);
        return Read(path);
    }
};


// Writes blocks through the output module as the engine would and closes it.
void WriteThrough(EngineContext* context, const std::string& name, int blocks, int32_t stereo, int32_t frequency) {
    ASSERT_EQ(output_select(context, name.c_str(), -1), 0);
    ASSERT_EQ(output_open(context), 0);
    const std::vector<int16_t> samples(100, 0x1234);
    for (int i = 0; i < blocks; ++i) EXPECT_EQ(output_write(context, samples.data(), 200, 2, stereo, frequency), 200);
    ASSERT_EQ(output_close(context), 0);
}

TEST_F(FileModuleTest, AWavFileGetsItsCompleteHeaderAtClose) {
    const struct {
        int32_t stereo, frequency;
        uint16_t channels, block;
        uint32_t perSecond;
    } formats[] = {{1, 44100, 2, 4, 176400}, {0, 22050, 1, 2, 44100}};
    for (const auto& format : formats) {
        const std::string path = (folder / "out.wav").string();
        WriteThrough(context, "wav:" + path, 3, format.stereo, format.frequency);
        const Bytes file = Read(path);
        ASSERT_EQ(file.size(), 44u + 600u);
        EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
        EXPECT_EQ(Le32(file, 4), 636u);
        EXPECT_EQ(std::memcmp(file.data() + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(Le32(file, 16), 16u);
        EXPECT_EQ(Le16(file, 20), 1u);
        EXPECT_EQ(Le16(file, 22), format.channels);
        EXPECT_EQ(Le32(file, 24), static_cast<uint32_t>(format.frequency));
        EXPECT_EQ(Le32(file, 28), format.perSecond);
        EXPECT_EQ(Le16(file, 32), format.block);
        EXPECT_EQ(Le16(file, 34), 16u);
        EXPECT_EQ(std::memcmp(file.data() + 36, "data", 4), 0);
        EXPECT_EQ(Le32(file, 40), 600u);
        EXPECT_EQ(file[44], 0x34);
        EXPECT_EQ(file[45], 0x12);
    }
}

TEST_F(FileModuleTest, AnOutputNeverWrittenToIsAnEmptyWavOf44Bytes) {
    const std::string path = (folder / "empty.wav").string();
    WriteThrough(context, "wav:" + path, 0, 0, 22050);
    const Bytes file = Read(path);
    ASSERT_EQ(file.size(), 44u);
    EXPECT_EQ(Le32(file, 4), 36u);
    EXPECT_EQ(Le16(file, 22), 2u);  // the defaults: stereo, 44100 Hz
    EXPECT_EQ(Le32(file, 24), 44100u);
    EXPECT_EQ(Le32(file, 40), 0u);
}

// stdio takes in far more than a full disk lets through; the header must count only what
// reached the file, in whole sample frames.
TEST_F(FileModuleTest, AfterAFullDiskTheHeaderCountsWhatReachedTheFile) {
    const struct {
        const char* prefix;
        size_t header, count;  // where the data's length is, as bytes or (AIFF) as frames of `unit`
        uint32_t unit;
        bool bigEndian;
    } formats[] = {{"wav:", 44, 40, 1, false}, {"aiff:", 54, 22, 4, true}, {"sun:", 32, 8, 1, true}};
    for (const auto& format : formats) {
        const std::string path = (folder / "full").string();
        ASSERT_EQ(output_select(context, (format.prefix + path).c_str(), -1), 0);
        ASSERT_EQ(output_open(context), 0);
        {
            const FileSizeLimit limit(70001);
            const std::vector<int16_t> samples(100, 0x1234);
            for (int i = 0; i < 1000; ++i) output_write(context, samples.data(), 200, 2, 1, 44100);
            ASSERT_EQ(output_close(context), VORTAX_WRITE_FAILED);
        }
        const Bytes file = Read(path);
        ASSERT_EQ(file.size(), 70001u);
        const uint64_t count = Field(file, format.count, 4, format.bigEndian);
        EXPECT_EQ(count * format.unit, (70001 - format.header) / 4 * 4) << format.prefix;
    }
}

// Every write fits in stdio's buffer and succeeds; only closing finds the disk full.
TEST_F(FileModuleTest, ADiskFoundFullAtCloseFailsTheClose) {
    ASSERT_EQ(output_select(context, ("wav:" + (folder / "full.wav").string()).c_str(), -1), 0);
    ASSERT_EQ(output_open(context), 0);
    const FileSizeLimit limit(1000);
    const std::vector<int16_t> samples(100, 0x1234);
    for (int i = 0; i < 5; ++i) ASSERT_EQ(output_write(context, samples.data(), 200, 2, 1, 44100), 200);
    EXPECT_EQ(output_close(context), VORTAX_WRITE_FAILED);
}

// Every write past the limit fails; the first says why, once.
TEST_F(FileModuleTest, AFailedWriteSaysWhyOnce) {
    ASSERT_EQ(output_select(context, ("wav:" + (folder / "full.wav").string()).c_str(), -1), 0);
    ASSERT_EQ(output_open(context), 0);
    const FileSizeLimit limit(70001);
    const std::vector<int16_t> samples(100, 0x1234);
    for (int i = 0; i < 1000; ++i) output_write(context, samples.data(), 200, 2, 1, 44100);
    EXPECT_EQ(output_close(context), VORTAX_WRITE_FAILED);
    EXPECT_EQ(notes, std::vector<std::string>{std::string("cannot write output file: ") + std::strerror(EFBIG)});
}

// Against the WAV file of the same stream: the header fields, and the samples big-endian.
TEST_F(FileModuleTest, AiffAndSunFilesHoldTheWavFilesSamplesBigEndian) {
    if (!std::filesystem::exists(CONFORMANCE_DIR)) GTEST_SKIP() << "no conformance streams at " << CONFORMANCE_DIR;
    const Bytes wav = Decoded("wav:");
    const uint64_t data = Le32(wav, 40);
    const struct {
        const char* prefix;
        size_t header;
        std::vector<std::array<uint64_t, 3>> fields;  // where, its bytes, what
    } formats[] = {{"aiff:", 54, {{4, 4, data + 46}, {20, 2, 2}, {22, 4, data / 4}, {26, 2, 16}, {42, 4, data + 8},
                                  {28, 2, 0x400D}, {30, 8, 0xFA00000000000000}}},  // 32000 Hz, as sox writes it
                   {"sun:", 32, {{4, 4, 32}, {8, 4, data}, {12, 4, 3}, {16, 4, 32000}, {20, 4, 2}}}};
    for (const auto& format : formats) {
        const Bytes file = Decoded(format.prefix);
        ASSERT_EQ(file.size(), format.header + data) << format.prefix;
        for (const auto& [at, size, value] : format.fields) EXPECT_EQ(Field(file, at, size, true), value) << at;
        size_t differ = 0;
        for (size_t i = 0; i < data; i += 2) differ += Field(file, format.header + i, 2, true) != Le16(wav, 44 + i);
        EXPECT_EQ(differ, 0u) << format.prefix;
    }
}

// A pipe cannot go back to complete the header: its sizes let readers take all up to the end.
TEST_F(FileModuleTest, OnAPipeTheHeaderLeavesTheLengthToTheEnd) {
    const uint32_t most = (0xFFFFFFFFu - 46) / 4 * 4;  // the most whole stereo frames AIFF's sizes hold
    const struct {
        const char* prefix;
        size_t header;
        std::vector<std::pair<size_t, uint32_t>> sizes;  // where, and what
        bool bigEndian;
    } formats[] = {{"wav:", 44, {{4, 0xFFFFFFFF}, {40, 0xFFFFFFFF}}, false},
                   {"sun:", 32, {{8, 0xFFFFFFFF}}, true},
                   {"aiff:", 54, {{4, most + 46}, {22, most / 4}, {42, most + 8}}, true}};
    for (const auto& format : formats) {
        std::filesystem::remove(folder / "pipe");
        const std::string path = MakeFifo();
        Bytes got;
        std::thread reader([&] { got = Read(path); });
        WriteThrough(context, format.prefix + path, 3, 1, 44100);
        reader.join();
        ASSERT_EQ(got.size(), format.header + 600) << format.prefix;
        for (const auto& [at, size] : format.sizes)
            EXPECT_EQ(Field(got, at, 4, format.bigEndian), size) << format.prefix << at;
        EXPECT_EQ(got[format.header], format.bigEndian ? 0x12 : 0x34) << format.prefix;
    }
}

TEST_F(FileModuleTest, TheRiffHeaderCountsDataUpToItsLimit) {
    const Bytes largest = PcmHeader(PcmFormat::Wav, 0xFFFFFFFFu - 36, 1, 44100);
    ASSERT_EQ(largest.size(), 44u);
    EXPECT_EQ(Le32(largest, 4), 0xFFFFFFFFu);
    EXPECT_EQ(Le32(largest, 40), 0xFFFFFFFFu - 36);
    EXPECT_EQ(std::memcmp(PcmHeader(PcmFormat::Wav, 0xFFFFFFFFu - 35, 1, 44100).data(), "RF64", 4), 0);
}

TEST_F(FileModuleTest, PastTheRiffLimitTheHeaderIsRf64WithA64BitDs64Chunk) {
    const uint64_t data = 5ull << 30;
    const Bytes header = PcmHeader(PcmFormat::Wav, data, 2, 48000);
    ASSERT_EQ(header.size(), 80u);
    EXPECT_EQ(std::memcmp(header.data(), "RF64", 4), 0);
    EXPECT_EQ(Le32(header, 4), 0xFFFFFFFFu);
    EXPECT_EQ(std::memcmp(header.data() + 8, "WAVEds64", 8), 0);
    EXPECT_EQ(Le32(header, 16), 28u);
    EXPECT_EQ(Le64(header, 20), data + 72);  // the file less its first 8 bytes
    EXPECT_EQ(Le64(header, 28), data);
    EXPECT_EQ(Le64(header, 36), data / 4);  // sample frames
    EXPECT_EQ(Le32(header, 44), 0u);
    const Bytes riff = PcmHeader(PcmFormat::Wav, 0, 2, 48000);
    EXPECT_TRUE(std::equal(header.begin() + 48, header.begin() + 72, riff.begin() + 12));  // the same fmt chunk
    EXPECT_EQ(std::memcmp(header.data() + 72, "data", 4), 0);
    EXPECT_EQ(Le32(header, 76), 0xFFFFFFFFu);
}

using Chunks = std::vector<std::pair<std::string, Bytes>>;

// The chunks from `at` on, each id with its body; a body cut short by the end is taken as far as it goes.
Chunks ChunksOf(const Bytes& bytes, size_t at) {
    Chunks chunks;
    for (size_t size = 0; at + 8 <= bytes.size(); at += 8 + size + size % 2) {
        size = std::min<size_t>(Le32(bytes, at + 4), bytes.size() - at - 8);
        chunks.emplace_back(std::string(bytes.begin() + at, bytes.begin() + at + 4), Bytes(bytes.begin() + at + 8, bytes.begin() + at + 8 + size));
    }
    return chunks;
}

std::vector<std::string> IdsOf(const Chunks& chunks) {
    std::vector<std::string> ids;
    for (const auto& chunk : chunks) ids.push_back(chunk.first);
    return ids;
}

TEST_F(FileModuleTest, AWavFileCarriesTheStreamsTagsBetweenItsFormatAndItsData) {
    if (!std::filesystem::exists(CONFORMANCE_DIR)) GTEST_SKIP() << "no conformance streams at " << CONFORMANCE_DIR;
    const Bytes audio = Read(CONFORMANCE_DIR "/l2-fl10.bit");
    const Bytes tag = Id3Tag(3, 0, Joined({Id3Frame(3, "TIT2", Text("\0Song"sv)), Id3Frame(3, "TPE1", Text("\0Band"sv)), {0}}));
    const Bytes id3v1 = Joined({Text("TAG"), Bytes(60, 0), Text("Album"), Bytes(59, 0), {255}});
    const std::string tagged = Write("tagged.mp2", Joined({tag, audio, id3v1}));
    const std::vector<int16_t> samples = DecodeFile(Write("plain.mp2", audio));
    int32_t on = 1;
    EXPECT_EQ(engine_get_tags(context, &on), 0);
    EXPECT_EQ(on, 0);
    ASSERT_EQ(engine_set_tags(context, 1), 0);
    ASSERT_EQ(variable_set_string(context, "software", "Tunepress 1.25"), 0);
    ASSERT_EQ(Convert(tagged), VORTAX_INPUT_END);
    const Bytes file = Read((folder / "out.wav").string());
    const auto chunks = ChunksOf(file, 12);
    ASSERT_EQ(IdsOf(chunks), (std::vector<std::string>{"fmt ", "LIST", "id3 ", "data"}));
    EXPECT_EQ(ChunksOf(chunks[1].second, 4), (Chunks{{"INAM", Text("Song\0"sv)}, {"IART", Text("Band\0"sv)},
                                                   {"IPRD", Text("Album\0"sv)}, {"ISFT", Text("Tunepress 1.25\0"sv)}}));
    EXPECT_EQ(chunks[2].second, tag);
    EXPECT_EQ(Le32(file, 4), file.size() - 8);
    const Bytes& data = chunks[3].second;
    ASSERT_EQ(data.size(), samples.size() * 2);
    EXPECT_EQ(std::memcmp(data.data(), samples.data(), data.size()), 0);
    // Past the RIFF limit, ds64 comes right after WAVE and counts the tags too.
    StreamTags title;
    title.Offer(TagField::Title, "T");
    const Bytes rf64 = PcmHeader(PcmFormat::Wav, 5000, 2, 48000, WavTagChunks(title, "VORTAX"), 1000);
    EXPECT_EQ(IdsOf(ChunksOf(rf64, 12)), (std::vector<std::string>{"ds64", "fmt ", "LIST", "data"}));
    EXPECT_EQ(Le64(rf64, 20), rf64.size() + 5000 - 8);

    ASSERT_EQ(engine_set_tags(context, 0), 0);
    ASSERT_EQ(Convert(tagged), VORTAX_INPUT_END);
    EXPECT_EQ(Read((folder / "out.wav").string()).size(), 44 + data.size());
}

// A small RIFF limit makes a small file over-long.
TEST_F(FileModuleTest, CompletingAnOverLongFileMovesItsDataUpForTheDs64Chunk) {
    const Bytes data = Pattern(2 * MovePieceBytes + 1000);
    const std::string path = Write("long.wav", Joined({Bytes(44, 0), data}));
    FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    const Bytes header = PcmHeader(PcmFormat::Wav, data.size(), 2, 48000, {}, 1000);
    EXPECT_TRUE(CompletePcmFile(file, header, 44, data.size()));
    ASSERT_EQ(std::fclose(file), 0);
    ASSERT_EQ(header.size(), 80u);
    EXPECT_TRUE(Read(path) == Joined({header, data}));
}

TEST_F(FileModuleTest, ADiskTooFullForTheDs64ChunkLeavesTheDataUntouched) {
    const Bytes contents = Joined({Bytes(44, 0), Pattern(MovePieceBytes + 1000)});
    const std::string path = Write("full.wav", contents);
    FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    {
        const FileSizeLimit limit(contents.size());
        const uint64_t data = contents.size() - 44;
        EXPECT_FALSE(CompletePcmFile(file, PcmHeader(PcmFormat::Wav, data, 2, 48000, {}, 1000), 44, data));
    }
    std::fclose(file);
    EXPECT_TRUE(Read(path) == contents);
}

TEST_F(FileModuleTest, NamesWithoutAFormatPrefixGetRawPcm) {
    for (const char* prefix : {"", "raw:"}) {
        const std::string path = (folder / "out.pcm").string();
        WriteThrough(context, prefix + path, 2, 1, 44100);
        EXPECT_EQ(Read(path).size(), 400u) << prefix;
    }
}

TEST_F(FileModuleTest, AMissingInputIsReportedAsNoSuchFile) {
    EXPECT_EQ(OpenInput((folder / "missing.mp3").string()), VORTAX_NO_SUCH_FILE);
    EXPECT_EQ(notes, std::vector<std::string>{"cannot open input file: file not found"});
}

TEST_F(FileModuleTest, UnopenableFilesAreReportedWithTheirReason) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may read and write any file";
    const std::string path = Write("locked.mp3", Bytes(10, 0));
    ::chmod(path.c_str(), 0);
    EXPECT_EQ(OpenInput(path), VORTAX_PERMISSION_DENIED);
    EXPECT_EQ(notes.back(), "cannot open input file: permission denied");
}

TEST_F(FileModuleTest, AnOutputThatCannotBeCreatedIsReported) {
    ASSERT_EQ(output_select(context, ("wav:" + (folder / "no/such/folder.wav").string()).c_str(), -1), 0);
    EXPECT_EQ(output_open(context), VORTAX_OPEN_FAILED);
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back().rfind("cannot open output file: ", 0), 0u);
}

TEST_F(FileModuleTest, EmptyNamesAreRefused) {
    EXPECT_EQ(input_select(context, "", -1), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(notes.back(), "internal error: null params or null/empty input name");
    EXPECT_EQ(output_select(context, nullptr, -1), VORTAX_INVALID_PARAMETERS);
    EXPECT_EQ(notes.back(), "internal error: null params or null/empty output name");
}

TEST_F(FileModuleTest, InputReadsWholePiecesAndKnowsItsSize) {
    const std::string path = Write("ten.bin", Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    ASSERT_EQ(OpenInput(path), 0);
    EXPECT_EQ(context->input.size, 10);
    EXPECT_EQ(context->input.flags, VORTAX_INPUT_CAN_SEEK);
    uint8_t buffer[8] = {};
    EXPECT_EQ(input_read(context, buffer, 4), 0);
    EXPECT_EQ(buffer[3], 4);
    EXPECT_EQ(context->input.position, 4);
    // Six bytes are left: a piece of eight gives them, and the next read the end.
    EXPECT_EQ(input_read(context, buffer, 8), 6);
    EXPECT_EQ(buffer[5], 10);
    EXPECT_EQ(input_read(context, buffer, 1), VORTAX_INPUT_END);
    EXPECT_EQ(input_seek_bytes(context, 8), 0);
    EXPECT_EQ(input_read(context, buffer, 2), 0);
    EXPECT_EQ(buffer[1], 10);
}

TEST_F(FileModuleTest, OnlyRegularFilesCanSeekAndHaveASize) {
    const std::string path = MakeFifo();
    std::thread writer([&] { ::close(::open(path.c_str(), O_WRONLY)); });
    EXPECT_EQ(OpenInput(path), 0);
    writer.join();
    EXPECT_EQ(context->input.flags, 0);
    EXPECT_EQ(context->input.size, 0);
    ASSERT_EQ(input_close(context), 0);
    ASSERT_EQ(OpenInput("/dev/zero"), 0);
    EXPECT_EQ(context->input.flags, 0);
}

TEST_F(FileModuleTest, AnInputPast2GiBHasItsSize) {
    const std::string path = Write("long.mp3", {});
    std::filesystem::resize_file(path, 5ull << 30);  // sparse: nothing is written
    ASSERT_EQ(OpenInput(path), 0);
    EXPECT_EQ(context->input.size, 5ll << 30);
}

TEST_F(FileModuleTest, APipeGivesTheWholeLengthThoughItArrivesInPieces) {
    const std::string path = MakeFifo();
    const Bytes sent = Pattern(256 * 1024);  // more than a pipe holds at once
    ssize_t wrote = 0;
    std::thread writer([&] {
        const int pipe = ::open(path.c_str(), O_WRONLY);
        wrote = ::write(pipe, sent.data(), sent.size());
        ::close(pipe);
    });
    EXPECT_EQ(OpenInput(path), 0);
    Bytes got(sent.size());
    EXPECT_EQ(input_read(context, got.data(), static_cast<int32_t>(got.size())), 0);
    writer.join();
    EXPECT_EQ(wrote, static_cast<ssize_t>(sent.size()));
    EXPECT_TRUE(got == sent);
}

// The state of a thread of this process: 'S' while it waits.
char ThreadState(pid_t thread) {
    std::ifstream stat("/proc/self/task/" + std::to_string(thread) + "/stat");
    const std::string line((std::istreambuf_iterator<char>(stat)), {});
    const size_t name = line.rfind(')');
    return name == std::string::npos || name + 2 >= line.size() ? '?' : line[name + 2];
}

TEST_F(FileModuleTest, AReadInterruptedByASignalStillGivesTheWholeLength) {
    const std::string path = MakeFifo();
    struct sigaction wake {}, saved {};
    wake.sa_handler = [](int) {};  // without SA_RESTART, so that the waiting read fails with EINTR
    ASSERT_EQ(sigaction(SIGUSR1, &wake, &saved), 0);
    std::atomic<pid_t> readerThread = 0;
    int32_t opened = -1, read = -1;
    const Bytes sent = Pattern(200);
    Bytes got(sent.size());
    std::thread reader([&] {
        readerThread = static_cast<pid_t>(::syscall(SYS_gettid));
        opened = OpenInput(path);
        read = input_read(context, got.data(), static_cast<int32_t>(got.size()));
    });
    const int pipe = ::open(path.c_str(), O_WRONLY);
    EXPECT_EQ(::write(pipe, sent.data(), 100), 100);
    // With the first half taken, a reader asleep waits in read() for the rest.
    int unread = 1;
    while ((::ioctl(pipe, FIONREAD, &unread) == 0 && unread > 0) || ThreadState(readerThread) != 'S')
        std::this_thread::yield();
    pthread_kill(reader.native_handle(), SIGUSR1);
    EXPECT_EQ(::write(pipe, sent.data() + 100, 100), 100);
    ::close(pipe);
    reader.join();
    sigaction(SIGUSR1, &saved, nullptr);
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(read, 0);
    EXPECT_TRUE(got == sent);
}

}  // namespace
