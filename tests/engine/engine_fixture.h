// What the engine tests share: a context with the file modules and a record of its
// notifications, temporary files, and MPEG frames built to order.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "frame_header.h"
#include "vortax.h"

using Bytes = std::vector<uint8_t>;

struct HeaderFields {
    int version_code = 1;  // 1 MPEG-1, 0 MPEG-2, 2 MPEG 2.5
    int layer = 3;
    int bitrate_index = 9;
    int frequency_index = 0;
    bool padding = false;
    int mode = 0;
    bool crc = false;
};

// The header word for these fields (sync set, nothing checked).
uint32_t HeaderWord(const HeaderFields& fields);

// A whole frame: the header, then zero bytes to the frame's length.
Bytes Frame(const HeaderFields& fields);

// Frames one after another.
Bytes Frames(const HeaderFields& fields, int count);

// Decodes a file through the engine into memory, every sample the output is given;
// `configure` sets options before the input opens.
std::vector<int16_t> DecodeFile(const std::string& path, const std::function<void(EngineContext*)>& configure = {});

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
};
