#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bitstream.h"
#include "decode.h"
#include "frame_header.h"
#include "tables/header_tables.h"
#include "layer12.h"
#include "synth.h"

using namespace vortax;

namespace {

using Block = std::array<float, 32>;

// A frame body written field by field, most significant bit first.
class BitWriter {
public:
    void Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (count_ % 8 == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> (count_ % 8));
            ++count_;
        }
    }
    void Repeat(uint32_t value, int bits, int times) {
        for (int i = 0; i < times; ++i) Put(value, bits);
    }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }
    size_t Count() const { return count_; }

private:
    std::vector<uint8_t> bytes_;
    size_t count_ = 0;
};

FrameHeader Header(int layer, int bitrateIndex, int frequencyIndex, int mode, int modeExtension = 0, int versionCode = 1) {
    FrameHeader header;
    header.version_code = versionCode;
    header.version = 2 - versionCode;
    header.layer = layer;
    header.bitrate_index = bitrateIndex;
    header.bitrate = BitrateTable[versionCode == 1 ? 0 : 1][layer - 1][bitrateIndex];
    header.frequency_index = frequencyIndex;
    header.mode = mode;
    header.mode_extension = modeExtension;
    return header;
}

// The value of code v of a midtread quantiser with this many steps, full scale 1.
float Level(int steps, int v) { return static_cast<float>(2.0 * v - (steps - 1)) / static_cast<float>(steps); }

// 2^(1 - i/3).
float Scalefactor(int index) { return static_cast<float>(std::exp2(1.0 - index / 3.0)); }

struct Decoded {
    std::vector<int16_t> pcm[2];  // what each channel's synthesis wrote
    size_t bits = 0;
    bool fault = false;
};

enum class Route { Both, Average, SecondOnly };

Decoded Decode(const FrameHeader& header, const BitWriter& body, int reduction = 0, Route route = Route::Both) {
    SynthesisArea areas[2];
    Decoded result;
    Routing routing;
    routing.reduction = reduction;
    for (int ch = 0; ch < 2; ++ch) {
        ResetSynthesis(areas[ch]);
        areas[ch].reduction = reduction;
        result.pcm[ch].assign(1152, 0x5555);
        areas[ch].out = result.pcm[ch].data();
        routing.target[ch] = &areas[ch];
    }
    if (route == Route::Average) {
        routing.average = true;
        routing.target[1] = nullptr;
    }
    if (route == Route::SecondOnly) routing.target[0] = nullptr;
    if (header.channels() == 1) routing.target[1] = nullptr;

    BitReader bits;
    ResetBits(bits, body.Bytes().data(), body.Bytes().size());
    try {
        if (header.layer == 1) {
            DecodeLayer1(bits, header, routing);
        } else {
            DecodeLayer2(bits, header, routing);
        }
    } catch (const FrameFault&) {
        result.fault = true;
    }
    for (int ch = 0; ch < 2; ++ch) result.pcm[ch].resize(static_cast<size_t>(areas[ch].out - result.pcm[ch].data()));
    result.bits = BitsRead(bits);
    return result;
}

// What the filterbank makes of these subband samples.
std::vector<int16_t> Synthesized(const std::vector<Block>& blocks, int reduction = 0) {
    SynthesisArea area;
    ResetSynthesis(area);
    area.reduction = reduction;
    std::vector<int16_t> pcm(blocks.size() * 32);
    area.out = pcm.data();
    for (const Block& block : blocks) Synthesize(area, block.data());
    pcm.resize(static_cast<size_t>(area.out - pcm.data()));
    return pcm;
}

// The decoded PCM equals the synthesis of the expected subband samples, to within the
// last bit of the requantisation, and is not silence.
void ExpectSynthesisOf(const std::vector<int16_t>& pcm, const std::vector<Block>& blocks, int reduction = 0) {
    const std::vector<int16_t> expected = Synthesized(blocks, reduction);
    ASSERT_EQ(pcm.size(), expected.size());
    int loudest = 0;
    for (size_t i = 0; i < pcm.size(); ++i) {
        EXPECT_LE(std::abs(pcm[i] - expected[i]), 1) << i;
        loudest = std::max(loudest, std::abs(static_cast<int>(expected[i])));
    }
    EXPECT_GT(loudest, 100);
}

// Layer I, one channel: subband 0 with 4-bit samples 0..11 and scalefactor 0.5,
// subband 20 with 2-bit samples of 2 and scalefactor 0.25.
BitWriter MonoLayer1Frame(std::vector<Block>& blocks, std::vector<Block>& lowOnly) {
    BitWriter body;
    for (int sb = 0; sb < 32; ++sb) body.Put(sb == 0 ? 3 : sb == 20 ? 1 : 0, 4);
    body.Put(6, 6);
    body.Put(9, 6);
    blocks.assign(12, Block{});
    lowOnly.assign(12, Block{});
    for (int slot = 0; slot < 12; ++slot) {
        body.Put(static_cast<uint32_t>(slot), 4);
        body.Put(2, 2);
        blocks[slot][0] = lowOnly[slot][0] = Level(15, slot) * 0.5f;
        blocks[slot][20] = Level(3, 2) * 0.25f;
    }
    return body;
}

TEST(Layer1Test, RequantisesByAllocationAndScalefactor) {
    std::vector<Block> blocks;
    std::vector<Block> lowOnly;
    const BitWriter body = MonoLayer1Frame(blocks, lowOnly);
    const Decoded decoded = Decode(Header(1, 4, 0, MODE_SINGLE_CHANNEL), body);
    EXPECT_EQ(decoded.bits, 32u * 4 + 2 * 6 + 12 * (4 + 2));
    EXPECT_EQ(decoded.pcm[0].size(), 384u);
    ExpectSynthesisOf(decoded.pcm[0], blocks);
    EXPECT_TRUE(decoded.pcm[1].empty());
}

TEST(Layer1Test, ReductionByHalfGives192SamplesOfTheLowSubbands) {
    std::vector<Block> blocks;
    std::vector<Block> lowOnly;
    const BitWriter body = MonoLayer1Frame(blocks, lowOnly);
    const Decoded decoded = Decode(Header(1, 4, 0, MODE_SINGLE_CHANNEL), body, 1);
    EXPECT_EQ(decoded.pcm[0].size(), 192u);
    EXPECT_EQ(decoded.bits, body.Count());  // subband 20 is still read past
    ExpectSynthesisOf(decoded.pcm[0], lowOnly, 1);
}

TEST(Layer1Test, Allocation15AbandonsTheFrame) {
    BitWriter body;
    for (int sb = 0; sb < 32; ++sb) body.Put(sb == 9 ? 15 : sb == 2 ? 4 : 0, 4);
    body.Repeat(0, 8, 64);
    const Decoded mono = Decode(Header(1, 4, 0, MODE_SINGLE_CHANNEL), body);
    EXPECT_TRUE(mono.fault);
    EXPECT_TRUE(mono.pcm[0].empty());  // nothing reached synthesis

    BitWriter stereo;
    for (int sb = 0; sb < 32; ++sb) {
        stereo.Put(0, 4);
        stereo.Put(sb == 30 ? 15 : 0, 4);
    }
    stereo.Repeat(0, 8, 64);
    const Decoded decoded = Decode(Header(1, 8, 0, MODE_STEREO), stereo);
    EXPECT_TRUE(decoded.fault);
    EXPECT_TRUE(decoded.pcm[0].empty());
    EXPECT_TRUE(decoded.pcm[1].empty());

    stereo = BitWriter();
    for (int sb = 0; sb < 32; ++sb) stereo.Repeat(sb == 30 ? 14 : 0, 4, 2);
    stereo.Repeat(0, 8, 64);
    EXPECT_FALSE(Decode(Header(1, 8, 0, MODE_STEREO), stereo).fault);
}

TEST(Layer1Test, ScalefactorIndex63AbandonsTheFrame) {
    BitWriter body;
    for (int sb = 0; sb < 32; ++sb) body.Put(sb == 4 ? 2 : 0, 4);
    body.Put(63, 6);
    body.Repeat(0, 3, 12);
    const Decoded decoded = Decode(Header(1, 4, 0, MODE_SINGLE_CHANNEL), body);
    EXPECT_TRUE(decoded.fault);
    EXPECT_TRUE(decoded.pcm[0].empty());

    body = BitWriter();
    for (int sb = 0; sb < 32; ++sb) body.Put(sb == 4 ? 2 : 0, 4);
    body.Put(62, 6);
    body.Repeat(0, 3, 12);
    EXPECT_FALSE(Decode(Header(1, 4, 0, MODE_SINGLE_CHANNEL), body).fault);
}

TEST(Layer1Test, JointStereoSharesCodesAboveTheBound) {
    // Mode extension 0: bound 4. Subband 2 of channel 0 alone with 3-bit samples;
    // subband 10 shares 4-bit codes, with scalefactor 1 on the left and 0.25 on the right.
    BitWriter body;
    for (int sb = 0; sb < 4; ++sb) {
        body.Put(sb == 2 ? 2 : 0, 4);
        body.Put(0, 4);
    }
    for (int sb = 4; sb < 32; ++sb) body.Put(sb == 10 ? 3 : 0, 4);
    body.Put(3, 6);  // subband 2, left
    body.Put(3, 6);  // subband 10, left
    body.Put(9, 6);  // subband 10, right
    std::vector<Block> left(12, Block{});
    std::vector<Block> right(12, Block{});
    for (int slot = 0; slot < 12; ++slot) {
        body.Put(static_cast<uint32_t>(slot % 7), 3);
        body.Put(static_cast<uint32_t>(14 - slot), 4);
        left[slot][2] = Level(7, slot % 7);
        left[slot][10] = Level(15, 14 - slot);
        right[slot][10] = Level(15, 14 - slot) * 0.25f;
    }
    const Decoded decoded = Decode(Header(1, 8, 0, MODE_JOINT_STEREO, 0), body);
    EXPECT_EQ(decoded.bits, body.Count());
    ExpectSynthesisOf(decoded.pcm[0], left);
    ExpectSynthesisOf(decoded.pcm[1], right);
}

// Stereo layer I: subband 1 coded only on the left, subband 5 on both.
BitWriter StereoLayer1Frame(std::vector<Block>& left, std::vector<Block>& right) {
    BitWriter body;
    for (int sb = 0; sb < 32; ++sb) {
        body.Put(sb == 1 || sb == 5 ? 4 : 0, 4);
        body.Put(sb == 5 ? 4 : 0, 4);
    }
    body.Put(3, 6);
    body.Put(3, 6);
    body.Put(6, 6);
    left.assign(12, Block{});
    right.assign(12, Block{});
    for (int slot = 0; slot < 12; ++slot) {
        body.Put(static_cast<uint32_t>(slot + 3), 5);
        body.Put(static_cast<uint32_t>(19 + slot), 5);
        body.Put(static_cast<uint32_t>(30 - slot), 5);
        left[slot][1] = Level(31, slot + 3);
        left[slot][5] = Level(31, 19 + slot);
        right[slot][5] = Level(31, 30 - slot) * 0.5f;
    }
    return body;
}

TEST(Layer1Test, AveragedChannelsGoToTheFirstTarget) {
    std::vector<Block> left;
    std::vector<Block> right;
    const BitWriter body = StereoLayer1Frame(left, right);
    std::vector<Block> mean(12, Block{});
    for (int slot = 0; slot < 12; ++slot) {
        for (int sb = 0; sb < 32; ++sb) mean[slot][sb] = (left[slot][sb] + right[slot][sb]) * 0.5f;
    }
    const Decoded decoded = Decode(Header(1, 8, 0, MODE_STEREO), body, 0, Route::Average);
    ExpectSynthesisOf(decoded.pcm[0], mean);
    EXPECT_TRUE(decoded.pcm[1].empty());
}

TEST(Layer1Test, OnlyRoutedChannelsAreSynthesised) {
    std::vector<Block> left;
    std::vector<Block> right;
    const BitWriter body = StereoLayer1Frame(left, right);
    const Decoded decoded = Decode(Header(1, 8, 0, MODE_STEREO), body, 0, Route::SecondOnly);
    EXPECT_TRUE(decoded.pcm[0].empty());
    ExpectSynthesisOf(decoded.pcm[1], right);
}

TEST(Layer2Test, TableChoiceFollowsTheBitRateOfAChannel) {
    // Frequency index 0 is 44.1 kHz, 1 is 48 kHz, 2 is 32 kHz.
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 10, 0, MODE_STEREO)), &AllocationTableB);  // 192 = 2 x 96
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 10, 1, MODE_STEREO)), &AllocationTableA);
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 10, 2, MODE_JOINT_STEREO)), &AllocationTableB);
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 6, 0, MODE_SINGLE_CHANNEL)), &AllocationTableB);  // 96
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 3, 2, MODE_SINGLE_CHANNEL)), &AllocationTableA);  // 56
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 5, 0, MODE_SINGLE_CHANNEL)), &AllocationTableA);  // 80
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 8, 0, MODE_DUAL_CHANNEL)), &AllocationTableA);    // 2 x 64
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 4, 1, MODE_STEREO)), &AllocationTableC);         // 2 x 32
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 4, 2, MODE_STEREO)), &AllocationTableD);
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 6, 0, MODE_STEREO)), &AllocationTableC);         // 2 x 48
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 2, 2, MODE_SINGLE_CHANNEL)), &AllocationTableD);  // 48
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 14, 1, MODE_STEREO, 0, 0)), &AllocationTableLsf);
    EXPECT_EQ(&ChooseAllocationTable(Header(2, 1, 2, MODE_SINGLE_CHANNEL, 0, 0)), &AllocationTableLsf);

    EXPECT_EQ(AllocationTableA.sblimit, 27);
    EXPECT_EQ(AllocationTableB.sblimit, 30);
    EXPECT_EQ(AllocationTableC.sblimit, 8);
    EXPECT_EQ(AllocationTableD.sblimit, 12);
    EXPECT_EQ(AllocationTableLsf.sblimit, 30);
}

TEST(Layer2Test, Stereo192At44100DecodesThirtySubbands) {
    // Table B: allocation fields of 4 bits up to subband 10, 3 up to 22, 2 up to 29.
    // Only subband 29 of the left channel is coded, with 3 grouped levels.
    BitWriter body;
    for (int sb = 0; sb < 30; ++sb) {
        const int width = sb < 11 ? 4 : sb < 23 ? 3 : 2;
        body.Put(sb == 29 ? 1 : 0, width);
        body.Put(0, width);
    }
    body.Put(2, 2);  // scfsi: one scalefactor for the frame
    body.Put(0, 6);  // 2.0
    std::vector<Block> left(36, Block{});
    for (int granule = 0; granule < 12; ++granule) {
        const int v[3] = {granule % 3, 2, (granule + 1) % 3};
        body.Put(static_cast<uint32_t>(v[0] + 3 * v[1] + 9 * v[2]), 5);
        for (int i = 0; i < 3; ++i) left[3 * granule + i][29] = Level(3, v[i]) * 2.0f;
    }
    const Decoded decoded = Decode(Header(2, 10, 0, MODE_STEREO), body);
    EXPECT_EQ(decoded.bits, body.Count());
    ExpectSynthesisOf(decoded.pcm[0], left);
    ASSERT_EQ(decoded.pcm[1].size(), 1152u);
    for (int16_t sample : decoded.pcm[1]) EXPECT_EQ(sample, 0);
}

// Mono at 56 kbit/s, table A: subband 0 with 3 grouped levels (scfsi 1), subband 3 with
// 9 grouped levels (scfsi 3), subband 11 with 7 levels sent one by one (scfsi 0).
BitWriter MonoLayer2Frame(std::vector<Block>& blocks, int highSubband) {
    BitWriter body;
    for (int sb = 0; sb < 27; ++sb) {
        const int width = sb < 11 ? 4 : sb < 23 ? 3 : 2;
        body.Put(sb == 0 ? 1 : sb == 3 ? 4 : sb == highSubband ? 3 : 0, width);
    }
    body.Put(1, 2);
    body.Put(3, 2);
    body.Put(0, 2);
    const int scalefactors[3][3] = {{3, 3, 6}, {4, 7, 7}, {5, 8, 11}};
    body.Put(3, 6);
    body.Put(6, 6);
    body.Put(4, 6);
    body.Put(7, 6);
    body.Put(5, 6);
    body.Put(8, 6);
    body.Put(11, 6);
    blocks.assign(36, Block{});
    for (int granule = 0; granule < 12; ++granule) {
        const int third = granule / 4;
        const int a[3] = {granule % 3, (granule + 2) % 3, 1};
        const int b[3] = {granule % 9, 8 - granule % 9, 4};
        const int c[3] = {granule % 7, 6, (granule * 3) % 7};
        body.Put(static_cast<uint32_t>(a[0] + 3 * a[1] + 9 * a[2]), 5);
        body.Put(static_cast<uint32_t>(b[0] + 9 * b[1] + 81 * b[2]), 10);
        for (int i = 0; i < 3; ++i) body.Put(static_cast<uint32_t>(c[i]), 3);
        for (int i = 0; i < 3; ++i) {
            Block& block = blocks[static_cast<size_t>(3 * granule + i)];
            block[0] = Level(3, a[i]) * Scalefactor(scalefactors[0][third]);
            block[3] = Level(9, b[i]) * Scalefactor(scalefactors[1][third]);
            block[highSubband] = Level(7, c[i]) * Scalefactor(scalefactors[2][third]);
        }
    }
    return body;
}

TEST(Layer2Test, GroupsAndScalefactorSelection) {
    std::vector<Block> blocks;
    const BitWriter body = MonoLayer2Frame(blocks, 11);
    const Decoded decoded = Decode(Header(2, 3, 0, MODE_SINGLE_CHANNEL), body);
    EXPECT_EQ(decoded.bits, body.Count());
    EXPECT_EQ(decoded.pcm[0].size(), 1152u);
    ExpectSynthesisOf(decoded.pcm[0], blocks);
}

TEST(Layer2Test, ReductionByHalfDecodesSixteenSubbands) {
    std::vector<Block> blocks;
    const BitWriter body = MonoLayer2Frame(blocks, 20);
    std::vector<Block> low = blocks;
    for (Block& block : low) block[20] = 0.0f;
    const FrameHeader header = Header(2, 3, 0, MODE_SINGLE_CHANNEL);

    const Decoded full = Decode(header, body);
    ExpectSynthesisOf(full.pcm[0], blocks);
    const Decoded half = Decode(header, body, 1);
    EXPECT_EQ(half.bits, body.Count());
    EXPECT_EQ(half.pcm[0].size(), 576u);
    ExpectSynthesisOf(half.pcm[0], low, 1);
}

TEST(Layer2Test, JointStereoBoundAboveTheCodedSubbandsAbandonsTheFrame) {
    BitWriter zeros;
    zeros.Repeat(0, 8, 64);
    auto fault = [&](int frequencyIndex, int modeExtension) {
        const Decoded decoded = Decode(Header(2, 4, frequencyIndex, MODE_JOINT_STEREO, modeExtension), zeros);
        EXPECT_EQ(decoded.pcm[0].size(), decoded.fault ? 0u : 1152u);
        return decoded.fault;
    };
    // 64 kbit/s stereo is 32 a channel: table C (8 subbands) at 48 kHz, D (12) at 32 kHz.
    EXPECT_TRUE(fault(1, 3));   // bound 16
    EXPECT_TRUE(fault(1, 2));   // bound 12
    EXPECT_FALSE(fault(1, 1));  // bound 8
    EXPECT_FALSE(fault(1, 0));  // bound 4
    EXPECT_FALSE(fault(2, 2));  // bound 12 of 12
    EXPECT_TRUE(fault(2, 3));
}

TEST(Layer2Test, ScalefactorIndex63IsAccepted) {
    BitWriter body;
    for (int sb = 0; sb < 27; ++sb) body.Put(sb == 0 ? 5 : 0, sb < 11 ? 4 : sb < 23 ? 3 : 2);
    body.Put(2, 2);
    body.Put(63, 6);
    body.Repeat(30, 6, 36);  // 63 levels, 6 bits each
    const Decoded decoded = Decode(Header(2, 3, 0, MODE_SINGLE_CHANNEL), body);
    EXPECT_FALSE(decoded.fault);
    EXPECT_EQ(decoded.bits, body.Count());
    EXPECT_EQ(decoded.pcm[0].size(), 1152u);
}

}  // namespace
