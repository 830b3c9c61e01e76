#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>

#include "engine_fixture.h"
#include "file_size_limit.h"

namespace {

uint32_t Le32(const Bytes& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Le16(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }

using FileModuleTest = EngineTest;

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
TEST_F(FileModuleTest, AfterAFullDiskTheWavHeaderCountsWhatReachedTheFile) {
    const std::string path = (folder / "full.wav").string();
    ASSERT_EQ(output_select(context, ("wav:" + path).c_str(), -1), 0);
    ASSERT_EQ(output_open(context), 0);
    {
        const FileSizeLimit limit(70001);
        const std::vector<int16_t> samples(100, 0x1234);
        for (int i = 0; i < 1000; ++i) output_write(context, samples.data(), 200, 2, 1, 44100);
        ASSERT_EQ(output_close(context), 0);
    }
    const Bytes file = Read(path);
    ASSERT_EQ(file.size(), 70001u);
    EXPECT_EQ(Le32(file, 40), 69956u);
    EXPECT_EQ(Le32(file, 4), 69956u + 36u);
}

TEST_F(FileModuleTest, NamesWithoutAWavPrefixGetRawPcm) {
    for (const char* prefix : {"", "raw:", "aiff:", "sun:"}) {
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
    EXPECT_EQ(context->input.flags, INPUT_CAN_SEEK);
    uint8_t buffer[8] = {};
    EXPECT_EQ(input_read(context, buffer, 4), 0);
    EXPECT_EQ(buffer[3], 4);
    EXPECT_EQ(context->input.position, 4);
    // Six bytes are left: a piece of eight is cut short and counts as the end.
    EXPECT_EQ(input_read(context, buffer, 8), VORTAX_INPUT_END);
    EXPECT_EQ(input_seek_bytes(context, 8), 0);
    EXPECT_EQ(input_read(context, buffer, 2), 0);
    EXPECT_EQ(buffer[1], 10);
}

}  // namespace
