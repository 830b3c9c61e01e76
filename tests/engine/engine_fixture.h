// What the engine tests share: a context with the file modules and a record of its
// notifications, temporary files, streams joined, tagged and piped.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "frame_header.h"
#include "mpeg_frames.h"
#include "vortax.h"

// Decodes a file through the engine into memory, every sample the output is given;
// `configure` sets options before the input opens.
std::vector<int16_t> DecodeFile(const std::string& path, const std::function<void(EngineContext*)>& configure = {});

// An output keeping in `memory.kept` what it takes: at most `take` bytes a write (a code
// when it is one), answering a change of format `control`. DecodeFile resets it.
struct Memory { std::vector<int16_t> kept; int32_t take = INT32_MAX, control = 0; };
extern Memory memory;
extern const OutputMethods MemoryOutput;
// The open input's rest, decoded into MemoryOutput.
std::vector<int16_t> Rest(EngineContext* context);

// The parts one after another.
Bytes Joined(const std::vector<Bytes>& parts);

Bytes Text(std::string_view text);
Bytes Little(uint32_t value);

// An ID3v2 frame of `version` (2, 3 or 4): its id, its size (24 bits in 2.2, syncsafe in
// 2.4) and, after 2.2, two flag bytes, the second `flags`.
Bytes Id3Frame(int version, std::string_view id, const Bytes& data, uint8_t flags = 0);

// An ID3v2 tag of `version` around `body`, with the tag's `flags` (0x10: a footer too).
Bytes Id3Tag(int version, uint8_t flags, const Bytes& body);

// An ID3v2 tag whose `body` bytes hold copies of a frame, as a picture might; with
// `footer`, closed by a footer.
Bytes Id3v2Tag(size_t body, bool footer = false);

// A named pipe that a thread fills with `bytes` as soon as a reader opens it, then closes.
class PipeWriter {
public:
    PipeWriter(const std::string& path, Bytes bytes);
    ~PipeWriter();

private:
    std::thread writer;
};

// A WAV file of silence with one click, `length` samples per channel.
void WriteClick(const std::string& path, int rate, int channels, int length, int click);

class EngineTest : public ::testing::Test {
protected:
    EngineContext* context = nullptr;
    std::vector<std::string> notes;  // "message: detail" of every notification
    std::filesystem::path folder;

    void SetUp() override;
    void TearDown() override;

    std::string Write(const std::string& name, const Bytes& bytes);
    Bytes Read(const std::string& path) const;
    // Selects and opens `path` as input; the code of the first step that fails.
    int32_t OpenInput(const std::string& path);
    // Converts `input` to out.wav in the folder; the last code and the number of frames decoded.
    int32_t Convert(const std::string& input, int* frames = nullptr);
};

// Tests on streams that lame makes; skipped where lame is not installed.
class LameTest : public EngineTest {
protected:
    void SetUp() override;
    // Encodes a click (see WriteClick) with lame and gives the MP3's path.
    std::string Lame(const std::string& name, const std::string& options, int rate, int channels, int length, int click);
};
