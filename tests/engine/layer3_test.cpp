#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <random>

#include "engine_fixture.h"
#include "kernels.h"
#include "layer3.h"
#include "state.h"
#include "tables/huffman_tables.h"
#include "tables/layer3_tables.h"

using namespace vortax;

namespace {

// Bits written most significant first.
struct BitWriter {
    Bytes bytes;
    size_t count = 0;

    void Put(uint32_t value, int n) {
        for (int i = n - 1; i >= 0; --i, ++count) {
            if (count % 8 == 0) bytes.push_back(0);
            if (value >> i & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> (count % 8));
        }
    }
};

BitReader ReaderOf(const BitWriter& writer) {
    BitReader bits;
    ResetBits(bits, writer.bytes.data(), writer.bytes.size());
    return bits;
}

// Codes a big-value pair as the standard's tables give it: the code of (min(|x|, 15),
// min(|y|, 15)), then for each value its linbits (when 15 or more) and its sign.
void PutPair(BitWriter& out, int table_select, int x, int y) {
    const BigValueTable& table = BigValueTables[table_select];
    const int cx = std::min(std::abs(x), 15);
    const int cy = std::min(std::abs(y), 15);
    const int index = cx * table.code->size + cy;
    out.Put(table.code->codes[index], table.code->lengths[index]);
    for (const int value : {x, y}) {
        if (table.linbits && std::abs(value) >= 15) out.Put(static_cast<uint32_t>(std::abs(value) - 15), table.linbits);
        if (value) out.Put(value < 0, 1);
    }
}

TEST(HuffmanTablesTest, EveryTableIsACompletePrefixCode) {
    std::vector<std::pair<const HuffmanCodeTable*, int>> tables;
    for (const BigValueTable& table : BigValueTables) {
        if (table.code) tables.emplace_back(table.code, table.code->size * table.code->size);
    }
    for (const HuffmanCodeTable& table : Count1Tables) tables.emplace_back(&table, 16);
    for (const auto& [table, values] : tables) {
        double kraft = 0;
        std::vector<std::string> words;
        for (int i = 0; i < values; ++i) {
            ASSERT_LE(table->lengths[i], 19);
            ASSERT_LT(table->codes[i], 1u << table->lengths[i]);
            kraft += std::ldexp(1.0, -table->lengths[i]);
            std::string word;
            for (int bit = table->lengths[i] - 1; bit >= 0; --bit) word += table->codes[i] >> bit & 1 ? '1' : '0';
            words.push_back(word);
        }
        EXPECT_EQ(kraft, 1.0) << "table of " << values << " values";
        std::sort(words.begin(), words.end());
        for (size_t i = 1; i < words.size(); ++i) {
            EXPECT_NE(words[i].rfind(words[i - 1], 0), 0u) << words[i - 1] << " leads " << words[i];
        }
    }
}

TEST(HuffmanTest, HandBuiltCodesDecodeToTheirValues) {
    BitWriter out;
    out.Put(0b1, 1);            // table 1: (0, 0)
    out.Put(0b001'1, 4);        // table 1: (0, 1), negative
    out.Put(0b000'0'1, 5);      // table 1: (1, 1), the y negative
    out.Put(0b1100, 4);         // table 24: (1, 1)
    out.Put(0b00, 2);           //   both positive
    out.Put(0b0011, 4);         // table 24 with 13 linbits (table_select 31): (15, 15)
    out.Put(8191, 13);          //   x = 15 + 8191
    out.Put(0b1, 1);            //   negative
    out.Put(2, 13);             //   y = 15 + 2
    out.Put(0b0, 1);            //   positive
    out.Put(0b0101'0, 5);       // count1 table A: (0, 0, 0, 1), positive
    out.Put(0b0000'1010, 8);    // count1 table B: (1, 1, 1, 1) with the signs -, +, -, +
    BitReader bits = ReaderOf(out);
    int pair[2];
    ReadPair(bits, 1, pair);
    EXPECT_EQ(pair[0], 0);
    EXPECT_EQ(pair[1], 0);
    ReadPair(bits, 1, pair);
    EXPECT_EQ(pair[0], 0);
    EXPECT_EQ(pair[1], -1);
    ReadPair(bits, 1, pair);
    EXPECT_EQ(pair[0], 1);
    EXPECT_EQ(pair[1], -1);
    ReadPair(bits, 24, pair);
    EXPECT_EQ(pair[0], 1);
    EXPECT_EQ(pair[1], 1);
    ReadPair(bits, 31, pair);
    EXPECT_EQ(pair[0], -(15 + 8191));
    EXPECT_EQ(pair[1], 17);
    int quad[4];
    ReadQuadruple(bits, 0, quad);
    EXPECT_EQ(std::vector<int>(quad, quad + 4), (std::vector<int>{0, 0, 0, 1}));
    ReadQuadruple(bits, 1, quad);
    EXPECT_EQ(std::vector<int>(quad, quad + 4), (std::vector<int>{-1, 1, -1, 1}));
    EXPECT_EQ(BitsRead(bits), out.count);
}

TEST(HuffmanTest, EveryValueOfEveryTableComesBackInAnyOrder) {
    std::mt19937 random(3);
    for (int select = 1; select < 32; ++select) {
        const BigValueTable& table = BigValueTables[select];
        if (!table.code) continue;
        std::vector<std::pair<int, int>> values;
        const int largest = table.linbits ? 15 + (1 << table.linbits) - 1 : table.code->size - 1;
        for (int x = 0; x < table.code->size; ++x) {
            for (int y = 0; y < table.code->size; ++y) {
                // The escape value 15 stands for 15 and everything above it.
                const int ex = x == 15 && table.linbits ? 15 + static_cast<int>(random() % (largest - 14)) : x;
                values.emplace_back(random() % 2 ? -ex : ex, random() % 2 ? -y : y);
            }
        }
        std::shuffle(values.begin(), values.end(), random);
        BitWriter out;
        for (const auto& [x, y] : values) PutPair(out, select, x, y);
        BitReader bits = ReaderOf(out);
        for (const auto& [x, y] : values) {
            int pair[2];
            ReadPair(bits, select, pair);
            ASSERT_EQ(pair[0], x) << "table_select " << select;
            ASSERT_EQ(pair[1], y) << "table_select " << select;
        }
        EXPECT_EQ(BitsRead(bits), out.count);
    }
}

// The plain decoder the lookup tables stand for: a walk over the code words, one bit
// more at a time, until the bits read so far are one of them. Gives the value's index.
int WalkCode(const HuffmanCodeTable& table, int values, const std::vector<int>& bits, size_t& at) {
    uint32_t code = 0;
    for (int length = 1; length <= 19; ++length) {
        code = code << 1 | static_cast<uint32_t>(bits[at + static_cast<size_t>(length) - 1]);
        for (int value = 0; value < values; ++value) {
            if (table.lengths[value] == length && table.codes[value] == code) {
                at += static_cast<size_t>(length);
                return value;
            }
        }
    }
    ADD_FAILURE() << "no code word";
    return 0;
}

uint32_t Take(const std::vector<int>& bits, size_t& at, int n) {
    uint32_t value = 0;
    for (int i = 0; i < n; ++i) value = value << 1 | static_cast<uint32_t>(bits[at++]);
    return value;
}

// Writes the bits and reads one pair (or quadruple) back with the engine's decoder.
BitWriter Written(const std::vector<int>& bits) {
    BitWriter out;
    for (const int bit : bits) out.Put(static_cast<uint32_t>(bit), 1);
    return out;
}

TEST(HuffmanTest, LookupTablesDecodeEveryCodeWordAsTheWalkDoes) {
    std::mt19937 random(5);
    for (int select = 1; select < 32; ++select) {
        const BigValueTable& table = BigValueTables[select];
        if (!table.code) continue;
        const int values = table.code->size * table.code->size;
        for (int value = 0; value < values; ++value) {
            // The code word, then bits that differ from try to try: what follows it must not
            // change what is decoded, and the linbits and signs come from it.
            for (int tail = 0; tail < 3; ++tail) {
                std::vector<int> bits;
                for (int bit = table.code->lengths[value] - 1; bit >= 0; --bit) bits.push_back(table.code->codes[value] >> bit & 1);
                for (int i = 0; i < 48; ++i) bits.push_back(tail == 0 ? 0 : tail == 1 ? 1 : static_cast<int>(random() & 1));
                size_t at = 0;
                const int walked = WalkCode(*table.code, values, bits, at);
                ASSERT_EQ(walked, value);
                int expected[2] = {walked / table.code->size, walked % table.code->size};
                for (int& coordinate : expected) {
                    if (coordinate == 15 && table.linbits) coordinate += static_cast<int>(Take(bits, at, table.linbits));
                    if (coordinate && Take(bits, at, 1)) coordinate = -coordinate;
                }
                const BitWriter out = Written(bits);
                BitReader reader = ReaderOf(out);
                int pair[2];
                ReadPair(reader, select, pair);
                EXPECT_EQ(pair[0], expected[0]) << "table_select " << select << " value " << value;
                EXPECT_EQ(pair[1], expected[1]) << "table_select " << select << " value " << value;
                EXPECT_EQ(BitsRead(reader), at) << "table_select " << select << " value " << value;
            }
        }
    }
    for (int select = 0; select < 2; ++select) {
        const HuffmanCodeTable& table = Count1Tables[select];
        for (int value = 0; value < 16; ++value) {
            for (int signs = 0; signs < 16; ++signs) {
                std::vector<int> bits;
                for (int bit = table.lengths[value] - 1; bit >= 0; --bit) bits.push_back(table.codes[value] >> bit & 1);
                for (int bit = 3; bit >= 0; --bit) bits.push_back(signs >> bit & 1);
                for (int i = 0; i < 8; ++i) bits.push_back(1);
                size_t at = 0;
                const int walked = WalkCode(table, 16, bits, at);
                ASSERT_EQ(walked, value);
                const BitWriter out = Written(bits);
                BitReader reader = ReaderOf(out);
                int quad[4];
                ReadQuadruple(reader, select, quad);
                for (int i = 0; i < 4; ++i) {
                    int expected = walked >> (3 - i) & 1;
                    if (expected && Take(bits, at, 1)) expected = -1;
                    EXPECT_EQ(quad[i], expected) << "count1 table " << select << " value " << value << " signs " << signs;
                }
                EXPECT_EQ(BitsRead(reader), at) << "count1 table " << select << " value " << value;
            }
        }
    }
}

TEST(ScalefactorBandTest, EveryBandHoldsAnEvenNumberOfLines) {
    // The decoder stores big-value pairs whole: a pair must never straddle two bands.
    for (const auto& group : ScalefactorBandTables) {
        for (const ScalefactorBands& bands : group) {
            for (int b = 0; b < 22; ++b) EXPECT_EQ((bands.long_bands[b + 1] - bands.long_bands[b]) % 2, 0) << b;
            for (int b = 0; b < 13; ++b) EXPECT_EQ((bands.short_bands[b + 1] - bands.short_bands[b]) % 2, 0) << b;
        }
    }
}

TEST(HuffmanTest, TablesWithoutCodesGiveZerosAndTakeNoBits) {
    const uint8_t ones[] = {0xFF, 0xFF, 0xFF, 0xFF};
    for (int select : {0, 4, 14}) {
        BitReader bits;
        ResetBits(bits, ones, sizeof ones);
        int pair[2] = {7, 7};
        ReadPair(bits, select, pair);
        EXPECT_EQ(pair[0], 0);
        EXPECT_EQ(pair[1], 0);
        EXPECT_EQ(BitsRead(bits), 0u);
    }
}

TEST(RequantisationTest, ValuesAreSignedFourThirdPowersTimesQuarterStepsOfTwo) {
    EXPECT_FLOAT_EQ(Requantize(1, 0), 1.0f);
    EXPECT_FLOAT_EQ(Requantize(8, 0), 16.0f);    // 8^(4/3)
    EXPECT_FLOAT_EQ(Requantize(-27, 0), -81.0f);
    EXPECT_FLOAT_EQ(Requantize(1, 4), 2.0f);
    EXPECT_FLOAT_EQ(Requantize(1, -8), 0.25f);
    EXPECT_FLOAT_EQ(Requantize(-1, 2), -std::sqrt(2.0f));
    EXPECT_FLOAT_EQ(Requantize(8206, 45), static_cast<float>(std::pow(8206.0, 4.0 / 3.0) * std::pow(2.0, 11.25)));
    EXPECT_FLOAT_EQ(Requantize(1, -392), std::ldexp(1.0f, -98));
    EXPECT_FLOAT_EQ(Requantize(0, 10), 0.0f);
}

TEST(IntensityTest, Mpeg1PositionsPanFromRightToLeft) {
    const double tan15 = std::tan(M_PI / 12);
    const struct {
        int is_pos;
        double left, right;
    } cases[] = {{0, 0.0, 1.0}, {1, tan15 / (1 + tan15), 1 / (1 + tan15)}, {3, 0.5, 0.5}, {6, 1.0, 0.0}};
    for (const auto& c : cases) {
        const IntensityFactors factors = Mpeg1Intensity(c.is_pos);
        EXPECT_NEAR(factors.left, c.left, 1e-6) << c.is_pos;
        EXPECT_NEAR(factors.right, c.right, 1e-6) << c.is_pos;
    }
    EXPECT_NEAR(Mpeg1Intensity(1).left, 0.2113249, 1e-6);
}

TEST(IntensityTest, Mpeg2PositionsLowerOneChannelByItsScale) {
    const struct {
        int is_pos, intensity_scale;
        double left, right;
    } cases[] = {{0, 0, 1.0, 1.0},
                 {0, 1, 1.0, 1.0},
                 {1, 0, 0.8408964, 1.0},  // 2^(-1/4)
                 {2, 0, 1.0, 0.8408964},
                 {3, 1, 0.5, 1.0},        // (2^(-1/2))^2
                 {4, 1, 1.0, 0.5},
                 {7, 0, 0.5, 1.0},        // (2^(-1/4))^4
                 {30, 1, 1.0, 1.0 / 181.01934}};
    for (const auto& c : cases) {
        const IntensityFactors factors = Mpeg2Intensity(c.is_pos, c.intensity_scale);
        EXPECT_NEAR(factors.left, c.left, 1e-6) << c.is_pos << " " << c.intensity_scale;
        EXPECT_NEAR(factors.right, c.right, 1e-6) << c.is_pos << " " << c.intensity_scale;
    }
}

// One channel of one granule as a test codes it: its side information and its main data,
// the lines coded with table 15 up to the last non-zero pair, then the quadruples with
// count1 table A.
struct Coded {
    int global_gain = 210;
    int scalefac_compress = 0;
    bool window_switching_flag = false;
    int block_type = 0;
    bool mixed_block_flag = false;
    int big_values = -1;                             // -1: as the lines need
    std::vector<std::pair<int, int>> scalefactors;   // (value, bits), in reading order
    std::map<int, int> lines;                        // line (in coded order) -> quantised value
    std::vector<std::array<int, 4>> quadruples;
    int cut = 0;                                     // bits of the coded data part2_3_length leaves out
};

struct FramePlan {
    HeaderFields header;
    int mode_extension = 0;
    int main_data_begin = 0;
    Coded coded[2][2];  // [granule][channel]
};

Bytes BuildFrame(const FramePlan& plan) {
    Bytes frame = Frame(plan.header);
    frame[3] |= static_cast<uint8_t>(plan.mode_extension << 4);
    FrameHeader header;
    EXPECT_TRUE(ParseHeader(HeaderWord(plan.header), header));
    const bool lsf = header.lsf();
    const int channels = header.channels();
    BitWriter main;
    BitWriter side;
    side.Put(static_cast<uint32_t>(plan.main_data_begin), lsf ? 8 : 9);
    side.Put(0, lsf ? channels : channels == 1 ? 5 : 3);
    if (!lsf) side.Put(0, 4 * channels);
    for (int gr = 0; gr < (lsf ? 1 : 2); ++gr) {
        for (int ch = 0; ch < channels; ++ch) {
            const Coded& c = plan.coded[gr][ch];
            const size_t start = main.count;
            for (const auto& [value, bits] : c.scalefactors) main.Put(static_cast<uint32_t>(value), bits);
            const int pairs = c.lines.empty() ? 0 : c.lines.rbegin()->first / 2 + 1;
            for (int p = 0; p < pairs; ++p) {
                auto at = [&](int line) { return c.lines.count(line) ? c.lines.at(line) : 0; };
                PutPair(main, 15, at(2 * p), at(2 * p + 1));
            }
            for (const std::array<int, 4>& quad : c.quadruples) {
                int index = 0;
                for (const int value : quad) index = index * 2 + (value != 0);
                main.Put(Count1Tables[0].codes[index], Count1Tables[0].lengths[index]);
                for (const int value : quad) {
                    if (value) main.Put(value < 0, 1);
                }
            }
            side.Put(static_cast<uint32_t>(main.count - start - static_cast<size_t>(c.cut)), 12);
            side.Put(static_cast<uint32_t>(c.big_values < 0 ? pairs : c.big_values), 9);
            side.Put(static_cast<uint32_t>(c.global_gain), 8);
            side.Put(static_cast<uint32_t>(c.scalefac_compress), lsf ? 9 : 4);
            side.Put(c.window_switching_flag, 1);
            if (c.window_switching_flag) {
                side.Put(static_cast<uint32_t>(c.block_type), 2);
                side.Put(c.mixed_block_flag, 1);
                side.Put(15 << 5 | 15, 10);  // table 15 in both regions
                side.Put(0, 9);              // no subblock gain
            } else {
                side.Put(15 << 10 | 15 << 5 | 15, 15);
                side.Put(0, 7);  // region counts
            }
            side.Put(0, lsf ? 2 : 3);  // (preflag,) scalefac_scale, count1table_select
        }
    }
    EXPECT_EQ(side.bytes.size(), static_cast<size_t>(header.side_info));
    EXPECT_LE(4 + side.bytes.size() + main.bytes.size(), frame.size());
    std::copy(side.bytes.begin(), side.bytes.end(), frame.begin() + 4);
    std::copy(main.bytes.begin(), main.bytes.end(), frame.begin() + 4 + static_cast<long>(side.bytes.size()));
    return frame;
}

Bytes Stream(const std::vector<FramePlan>& plans) {
    Bytes stream;
    for (const FramePlan& plan : plans) {
        const Bytes frame = BuildFrame(plan);
        stream.insert(stream.end(), frame.begin(), frame.end());
    }
    return stream;
}

// Stereo MPEG-1 at 128 kbit/s, 44.1 kHz; joint stereo with its mode extension.
FramePlan JointStereo(int mode_extension) {
    FramePlan plan;
    plan.header.mode = MODE_JOINT_STEREO;
    plan.mode_extension = mode_extension;
    return plan;
}

// The channel selections of the engine, as routings.
enum Selection { Both, FirstOnly, SecondOnly, Averaged };

class Layer3Test : public EngineTest {
protected:
    Layer3State state;
    SynthesisArea areas[2];
    std::vector<int16_t> pcm[2];  // what each synthesis area received
    int faults = 0;

    // Decodes every frame of the stream straight through the frame reader and the layer
    // III decoder, the selection routing the channels to the two synthesis areas.
    void Decode(const Bytes& stream, Selection selection = Both, int reduction = 0) {
        ASSERT_EQ(OpenInput(Write("stream.mp3", stream)), 0);
        ResetLayer3(state);
        for (int i = 0; i < 2; ++i) {
            ResetSynthesis(areas[i]);
            pcm[i].clear();
        }
        FrameReader& reader = context->state->reader;
        FrameHeader header;
        while (ReadNextFrame(context, reader, header) == 0) {
            int16_t buffers[2][1152] = {};
            Routing routing;
            routing.reduction = reduction;
            for (int i = 0; i < 2; ++i) {
                areas[i].out = buffers[i];
                areas[i].stride = 1;
                areas[i].reduction = reduction;
            }
            if (header.channels() == 1 || selection == FirstOnly) {
                routing.target[0] = &areas[0];
            } else if (selection == SecondOnly) {
                routing.target[1] = &areas[1];
            } else if (selection == Averaged) {
                routing.target[0] = &areas[0];
                routing.average = true;
            } else {
                routing.target[0] = &areas[0];
                routing.target[1] = &areas[1];
            }
            try {
                DecodeLayer3(state, reader, header, routing);
            } catch (const FrameFault&) {
                ++faults;
                continue;
            }
            for (int i = 0; i < 2; ++i) pcm[i].insert(pcm[i].end(), buffers[i], areas[i].out);
        }
        input_close(context);
    }

    bool Silent(int channel) const {
        return std::all_of(pcm[channel].begin(), pcm[channel].end(), [](int16_t s) { return s == 0; });
    }
    // Subband sb's overlap memory of a channel: the second half of its last transform.
    std::vector<float> Overlap(int channel, int sb) const {
        std::vector<float> values;
        for (const auto& line : state.overlap[channel]) values.push_back(line[sb]);
        return values;
    }
    static bool Zero(const std::vector<float>& values) {
        return std::all_of(values.begin(), values.end(), [](float v) { return v == 0.0f; });
    }
};

TEST_F(Layer3Test, BigValuesAbove288AbandonTheFrameAndTheNextOneDecodes) {
    FramePlan faulty;
    faulty.coded[0][0].big_values = 289;
    FramePlan good;
    good.coded[0][0].lines = {{10, 5}};
    const std::string path = Write("faulty.mp3", Stream({faulty, good}));
    ASSERT_EQ(output_select(context, ("raw:" + (folder / "out.raw").string()).c_str(), -1), 0);
    ASSERT_EQ(output_open(context), 0);
    ASSERT_EQ(OpenInput(path), 0);
    EXPECT_EQ(engine_decode_frame(context), VORTAX_INVALID_FRAME);
    EXPECT_EQ(engine_decode_frame(context), 0);
    EXPECT_EQ(context->pcm.size, 1152 * 2 * 2);
    EXPECT_EQ(engine_decode_frame(context), VORTAX_INPUT_END);
    output_close(context);
    const Bytes out = Read((folder / "out.raw").string());
    EXPECT_EQ(out.size(), 1152u * 2 * 2);
    EXPECT_TRUE(std::any_of(out.begin(), out.end(), [](uint8_t b) { return b != 0; }));
}

TEST_F(Layer3Test, WindowSwitchingWithBlockType0IsAFault) {
    FramePlan faulty;
    faulty.coded[1][1].window_switching_flag = true;
    FramePlan good;
    good.coded[0][0].window_switching_flag = true;
    good.coded[0][0].block_type = 1;
    Decode(Stream({faulty, good}));
    EXPECT_EQ(faults, 1);
    EXPECT_EQ(pcm[0].size(), 1152u);
}

TEST_F(Layer3Test, TheFirstFrameWithMainDataBeforeItIsSilent) {
    FramePlan early;
    early.main_data_begin = 1;
    early.coded[0][0].lines = early.coded[0][1].lines = {{10, 15}};
    FramePlan later = early;
    later.main_data_begin = 0;
    Decode(Stream({early}));
    ASSERT_EQ(pcm[0].size(), 1152u);
    ASSERT_EQ(pcm[1].size(), 1152u);
    EXPECT_TRUE(Silent(0));
    EXPECT_TRUE(Silent(1));
    Decode(Stream({later}));
    EXPECT_FALSE(Silent(0));
}

TEST_F(Layer3Test, AShortReservoirClearsTheOverlapOfBothChannels) {
    FramePlan loud;
    for (auto& granule : loud.coded) granule[0].lines = granule[1].lines = {{40, 15}};
    FramePlan starved = loud;
    starved.main_data_begin = 500;  // more than the first frame brought
    Decode(Stream({loud}));
    ASSERT_FALSE(Zero(Overlap(0, 2)));
    ASSERT_FALSE(Zero(Overlap(1, 2)));
    Decode(Stream({loud, starved}));
    ASSERT_EQ(pcm[0].size(), 2304u);
    EXPECT_TRUE(std::all_of(pcm[0].begin() + 1152, pcm[0].end(), [](int16_t s) { return s == 0; }));
    for (int ch = 0; ch < 2; ++ch) {
        for (int sb = 0; sb < 32; ++sb) EXPECT_TRUE(Zero(Overlap(ch, sb))) << ch << " " << sb;
    }
}

TEST_F(Layer3Test, AQuadrupleRunningPastTheChannelsBitsIsDropped) {
    FramePlan plan;
    plan.header.mode = MODE_SINGLE_CHANNEL;
    Coded& coded = plan.coded[1][0];
    coded.lines = {{1, 2}};
    coded.quadruples = {{0, 0, 1, -1}, {0, 1, 0, 0}};  // lines 2 to 5 and 6 to 9
    Decode(Stream({plan}));
    const std::vector<float> whole = Overlap(0, 0);
    coded.quadruples = {{0, 0, 1, -1}};
    Decode(Stream({plan}));
    const std::vector<float> first = Overlap(0, 0);
    EXPECT_NE(first, whole);
    coded.quadruples = {{0, 0, 1, -1}, {0, 1, 0, 0}};
    coded.cut = 1;  // the last quadruple's sign
    Decode(Stream({plan}));
    EXPECT_EQ(Overlap(0, 0), first);
}

TEST_F(Layer3Test, MidSideDecodesBothChannelsOverTheUnionOfTheirLines) {
    // The side channel is silent above line 200, the mid channel has a line at 400.
    FramePlan plan = JointStereo(2);
    plan.coded[1][0].lines = {{400, 9}, {12, 3}};
    plan.coded[1][1].lines = {{12, 7}};
    Decode(Stream({plan}));
    const int sb = 400 / 18;
    EXPECT_FALSE(Zero(Overlap(0, sb)));
    EXPECT_EQ(Overlap(0, sb), Overlap(1, sb));  // no side signal up there: left = right = mid
    EXPECT_NE(Overlap(0, 0), Overlap(1, 0));
    EXPECT_FALSE(Silent(1));
}

TEST_F(Layer3Test, MidSideTakesTheSquareRootOfTwoFromTheGain) {
    FramePlan plan = JointStereo(2);
    plan.coded[1][0].lines = {{30, 8}};  // mid only: left = right = mid / sqrt(2)
    FramePlan plain;
    plain.coded[1][0].global_gain = plain.coded[1][1].global_gain = 208;  // two quarter steps lower
    plain.coded[1][0].lines = plain.coded[1][1].lines = {{30, 8}};
    Decode(Stream({plan}));
    const std::vector<float> left = Overlap(0, 1);
    const std::vector<float> right = Overlap(1, 1);
    EXPECT_FALSE(Zero(left));
    Decode(Stream({plain}));
    EXPECT_EQ(left, Overlap(0, 1));
    EXPECT_EQ(right, Overlap(1, 1));
}

// MPEG-1 intensity stereo: the right channel codes nothing but its scalefactors, which
// hold the intensity positions (4 bits each up to band 10, then 3: scalefac_compress 15).
FramePlan Mpeg1IntensityFrame(int position, int midSide = 0) {
    FramePlan plan = JointStereo(1 | midSide);
    Coded& right = plan.coded[1][1];
    right.scalefac_compress = 15;
    for (int band = 0; band < 21; ++band) right.scalefactors.emplace_back(band == 13 ? position : 0, band < 11 ? 4 : 3);
    plan.coded[1][0].lines = {{100, 6}};  // band 13 (lines 90 to 109), subband 5
    return plan;
}

TEST_F(Layer3Test, Mpeg1IntensityPositionsShareTheCodedChannel) {
    Decode(Stream({Mpeg1IntensityFrame(7)}));  // the illegal position: the band stays as coded
    const std::vector<float> coded = Overlap(0, 5);
    ASSERT_FALSE(Zero(coded));
    EXPECT_TRUE(Zero(Overlap(1, 5)));
    for (int position : {0, 2, 3, 6}) {
        Decode(Stream({Mpeg1IntensityFrame(position)}));
        const IntensityFactors factors = Mpeg1Intensity(position);
        for (int i = 0; i < 18; ++i) {
            EXPECT_NEAR(Overlap(0, 5)[i], coded[i] * factors.left, 1e-4) << position;
            EXPECT_NEAR(Overlap(1, 5)[i], coded[i] * factors.right, 1e-4) << position;
        }
    }
}

TEST_F(Layer3Test, IntensityWithMidSideUndoesTheMidSideGain) {
    Decode(Stream({Mpeg1IntensityFrame(7)}));
    const std::vector<float> coded = Overlap(0, 5);
    Decode(Stream({Mpeg1IntensityFrame(3, 2)}));
    for (int i = 0; i < 18; ++i) {
        EXPECT_NEAR(Overlap(0, 5)[i], coded[i] * 0.5, 1e-4);
        EXPECT_NEAR(Overlap(1, 5)[i], coded[i] * 0.5, 1e-4);
    }
    Decode(Stream({Mpeg1IntensityFrame(7, 2)}));  // illegal: mid/side with right = 0
    for (int i = 0; i < 18; ++i) {
        EXPECT_NEAR(Overlap(0, 5)[i], coded[i] / std::sqrt(2.0), 1e-4);
        EXPECT_NEAR(Overlap(1, 5)[i], coded[i] / std::sqrt(2.0), 1e-4);
    }
}

TEST_F(Layer3Test, IntensityStartsAboveTheRightChannelsLastLine) {
    FramePlan plan = Mpeg1IntensityFrame(6);  // everything to the left
    plan.coded[1][1].lines = {{101, 1}};  // but the right channel codes band 13 itself
    Decode(Stream({plan}));
    EXPECT_FALSE(Zero(Overlap(0, 5)));
    EXPECT_FALSE(Zero(Overlap(1, 5)));
    EXPECT_NE(Overlap(0, 5), Overlap(1, 5));
}

// MPEG-2 at 22.05 kHz (or MPEG 2.5 at 8 kHz): the intensity channel's scalefac_compress
// 258 gives three bits to each of its 21 long-block positions (the illegal one: 7) and
// intensity_scale 0. Band 9 holds the position, the other bands 0.
FramePlan Mpeg2IntensityFrame(int position, int line = 70, int version_code = 0, int frequency_index = 0) {
    FramePlan plan;
    plan.header.version_code = version_code;
    plan.header.frequency_index = frequency_index;
    plan.header.mode = MODE_JOINT_STEREO;
    plan.mode_extension = 1;
    Coded& right = plan.coded[0][1];
    right.scalefac_compress = 258;
    for (int band = 0; band < 21; ++band) right.scalefactors.emplace_back(band == 9 ? position : 0, 3);
    plan.coded[0][0].lines = {{line, 6}};
    return plan;
}

TEST_F(Layer3Test, Mpeg2IntensityLowersOneChannelAndKnowsItsIllegalPosition) {
    // Line 70: band 9 (lines 66 to 79), subband 3.
    Decode(Stream({Mpeg2IntensityFrame(7)}));
    const std::vector<float> coded = Overlap(0, 3);
    ASSERT_FALSE(Zero(coded));
    EXPECT_TRUE(Zero(Overlap(1, 3)));
    const struct {
        int position;
        double left, right;
    } cases[] = {{0, 1, 1}, {2, 1, std::pow(2.0, -0.25)}, {5, std::pow(2.0, -0.75), 1}};
    for (const auto& c : cases) {
        Decode(Stream({Mpeg2IntensityFrame(c.position)}));
        for (int i = 0; i < 18; ++i) {
            EXPECT_NEAR(Overlap(0, 3)[i], coded[i] * c.left, 1e-4) << c.position;
            EXPECT_NEAR(Overlap(1, 3)[i], coded[i] * c.right, 1e-4) << c.position;
        }
    }
}

TEST_F(Layer3Test, Mpeg25HasItsOwnScalefactorBands) {
    // At 8 kHz band 9 spans lines 132 to 159 (at 11.025 and 12 kHz line 140 starts band 13).
    Decode(Stream({Mpeg2IntensityFrame(7, 140, 2, 2)}));
    const std::vector<float> coded = Overlap(0, 7);
    ASSERT_FALSE(Zero(coded));
    EXPECT_TRUE(Zero(Overlap(1, 7)));
    Decode(Stream({Mpeg2IntensityFrame(2, 140, 2, 2)}));
    for (int i = 0; i < 18; ++i) EXPECT_NEAR(Overlap(1, 7)[i], coded[i] * std::pow(2.0, -0.25), 1e-4);
    EXPECT_EQ(pcm[0].size(), 576u);
}

TEST_F(Layer3Test, ShortBlockIntensityWorksPerWindow) {
    // Short blocks at 44.1 kHz; the right channel codes window 2 of band 4 (coded line 60),
    // so intensity starts at band 5 in window 2 but at band 0 in windows 0 and 1. The left
    // channel codes frequency 4 (subband 0) in windows 1 and 2 of band 1.
    FramePlan plan = JointStereo(1);
    for (int ch = 0; ch < 2; ++ch) {
        plan.coded[1][ch].window_switching_flag = true;
        plan.coded[1][ch].block_type = 2;
    }
    Coded& right = plan.coded[1][1];
    right.scalefac_compress = 15;  // 4 bits for bands 0 to 5, 3 from 6 on
    for (int band = 0; band < 12; ++band) {
        for (int w = 0; w < 3; ++w) right.scalefactors.emplace_back(3, band < 6 ? 4 : 3);  // the centre
    }
    right.lines = {{60, 1}};
    plan.coded[1][0].lines = {{16, 5}, {20, 5}};
    Decode(Stream({plan}));
    const std::vector<float> shared = Overlap(1, 0);
    // Window 1 alone, as coded: the right channel must hold half of it and nothing of window 2.
    FramePlan alone = plan;
    alone.mode_extension = 0;
    alone.coded[1][0].lines = {{16, 5}};
    alone.coded[1][1].lines.clear();
    Decode(Stream({alone}));
    ASSERT_FALSE(Zero(Overlap(0, 0)));
    for (int i = 0; i < 18; ++i) EXPECT_NEAR(shared[i], Overlap(0, 0)[i] * 0.5, 1e-4) << i;
}

TEST_F(Layer3Test, MixedBlocksTransformTheTwoLowestSubbandsLong) {
    // Coded line 8: long band 2 of a mixed block, window 2 of short band 0 otherwise. A
    // short window 2 ends at position 29 of the 36 a transform spans, so the last six
    // overlap values stay 0; the long transform fills them.
    FramePlan plan;
    plan.header.mode = MODE_SINGLE_CHANNEL;
    Coded& coded = plan.coded[1][0];
    coded.window_switching_flag = true;
    coded.block_type = 2;
    coded.lines = {{8, 4}};
    Decode(Stream({plan}));
    std::vector<float> overlap = Overlap(0, 0);
    EXPECT_FALSE(Zero(std::vector<float>(overlap.begin(), overlap.begin() + 12)));
    EXPECT_TRUE(Zero(std::vector<float>(overlap.begin() + 12, overlap.end())));
    coded.mixed_block_flag = true;
    Decode(Stream({plan}));
    overlap = Overlap(0, 0);
    EXPECT_FALSE(Zero(std::vector<float>(overlap.begin() + 12, overlap.end())));
}

TEST_F(Layer3Test, TheLongTransformFollowsItsFormula) {
    // One line in the middle of subband 2 (line 9 of 18: no antialias butterfly touches
    // it), value 3 at global gain 210: 3^(4/3). The second half of the last granule's
    // 36-point inverse transform, times the normal window, is what the overlap holds.
    FramePlan plan;
    plan.header.mode = MODE_SINGLE_CHANNEL;
    plan.coded[1][0].lines = {{2 * 18 + 9, 3}};
    Decode(Stream({plan}));
    const std::vector<float> overlap = Overlap(0, 2);
    const double value = std::pow(3.0, 4.0 / 3.0);
    for (int i = 0; i < 18; ++i) {
        const int n = 18 + i;
        const double transform = value * std::cos(M_PI / 72 * (2 * n + 1 + 18) * (2 * 9 + 1));
        const double window = std::sin(M_PI / 36 * (n + 0.5));
        EXPECT_NEAR(overlap[static_cast<size_t>(i)], transform * window, 1e-5) << i;
    }
}

TEST_F(Layer3Test, TheShortTransformsFollowTheirFormula) {
    // Coded line 16 is the first line of band 1 (frequencies 4 to 7) in window 1: frequency
    // 4 of window 1 of subband 0. Its 12-point transform, times the short window, lies at
    // 6 + 6 = 12 to 23 of the 36 positions; the overlap holds 18 to 35.
    FramePlan plan;
    plan.header.mode = MODE_SINGLE_CHANNEL;
    Coded& coded = plan.coded[1][0];
    coded.window_switching_flag = true;
    coded.block_type = 2;
    coded.lines = {{16, 2}};
    Decode(Stream({plan}));
    const std::vector<float> overlap = Overlap(0, 0);
    const double value = std::pow(2.0, 4.0 / 3.0);
    for (int i = 0; i < 18; ++i) {
        const int k = 18 + i - 12;  // position in the 12-point window
        const double expected = k < 12 ? value * std::cos(M_PI / 24 * (2 * k + 1 + 6) * (2 * 4 + 1)) *
                                             std::sin(M_PI / 12 * (k + 0.5))
                                       : 0.0;
        EXPECT_NEAR(overlap[static_cast<size_t>(i)], expected, 1e-5) << i;
    }
}

#ifdef VORTAX_AVX2_KERNELS
// Decodes a conformance stream with the AVX2 kernels on or off.
std::vector<int16_t> DecodeWithKernels(const std::string& name, bool avx2) {
    UseAvx2Kernels(avx2);
    std::vector<int16_t> pcm = DecodeFile(std::string(CONFORMANCE_DIR) + "/" + name + ".bit");
    UseAvx2Kernels(true);
    return pcm;
}

TEST(KernelTest, ThePlainAndTheAvx2KernelsDecodeAlike) {
    if (!std::filesystem::exists(CONFORMANCE_DIR)) GTEST_SKIP() << "no conformance streams at " << CONFORMANCE_DIR;
    UseAvx2Kernels(true);
    if (!Avx2Kernels()) GTEST_SKIP() << "no AVX2 on this processor";
    // Long, short and mixed blocks, mode changes, MPEG-2, and layers I and II.
    for (const char* name : {"l3-si_block", "l3-he_mode", "l3-test45", "M2L3_noise", "l2-fl10", "l1-fl8"}) {
        const std::vector<int16_t> plain = DecodeWithKernels(name, false);
        const std::vector<int16_t> avx2 = DecodeWithKernels(name, true);
        ASSERT_FALSE(plain.empty()) << name;
        EXPECT_EQ(plain, avx2) << name;
    }
}
#endif

TEST_F(Layer3Test, ChannelsAreSelectedOrAveragedAfterTheFilterbank) {
    FramePlan plan;
    for (auto& granule : plan.coded) {
        granule[0].lines = {{20, 9}, {100, 4}};
        granule[1].lines = {{50, 11}};
        granule[0].global_gain = granule[1].global_gain = 180;  // far from clipping
    }
    const Bytes stream = Stream({plan, plan});
    Decode(stream);
    const std::vector<int16_t> left = pcm[0];
    const std::vector<int16_t> right = pcm[1];
    ASSERT_EQ(left.size(), 2304u);
    ASSERT_NE(left, right);
    Decode(stream, SecondOnly);
    EXPECT_TRUE(pcm[0].empty());
    EXPECT_EQ(pcm[1], right);
    Decode(stream, FirstOnly);
    EXPECT_EQ(pcm[0], left);
    EXPECT_TRUE(pcm[1].empty());
    Decode(stream, Averaged);
    ASSERT_EQ(pcm[0].size(), left.size());
    EXPECT_TRUE(pcm[1].empty());
    for (size_t i = 0; i < left.size(); ++i) EXPECT_NEAR(pcm[0][i], (left[i] + right[i]) / 2.0, 1.0) << i;
}

TEST_F(Layer3Test, ReductionKeepsOnlyTheLowerSubbands) {
    FramePlan high;
    high.header.mode = MODE_SINGLE_CHANNEL;
    for (auto& granule : high.coded) granule[0].lines = {{400, 15}};  // subband 22
    FramePlan low = high;
    for (auto& granule : low.coded) granule[0].lines = {{100, 15}};   // subband 5
    Decode(Stream({high}), Both, 1);
    EXPECT_EQ(pcm[0].size(), 576u);
    EXPECT_TRUE(Silent(0));
    Decode(Stream({high}), Both, 0);
    EXPECT_FALSE(Silent(0));
    Decode(Stream({low}), Both, 2);
    EXPECT_EQ(pcm[0].size(), 288u);
    EXPECT_FALSE(Silent(0));
}

}  // namespace
