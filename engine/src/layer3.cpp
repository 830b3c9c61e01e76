#include "layer3.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "kernels.h"
#include "tables/huffman_tables.h"
#include "tables/layer3_tables.h"

namespace vortax {

namespace {

constexpr int Lines = 576;
constexpr int Subbands = 32;
constexpr int SubbandLines = 18;
constexpr int MaxBigValues = 288;
constexpr int LargestValue = 15 + 8191;  // 15 plus 13 linbits
constexpr int MinQuarterSteps = -210 - 2 - 8 * 7 - 31 * 4;  // mid/side, subblock gain 7, scalefactor 31 doubled
constexpr int MaxQuarterSteps = 255 - 210;
constexpr int Lanes = 8;  // subbands the filterbank transforms side by side

// Huffman codes are decoded by table lookups: the first RootBits bits of the code index the
// root table; where codes are longer, the entry links to a subtable that the following
// bits index, and so on. An entry is a leaf (symbol | bits << 8, the bits of the code that
// fall into its table) or a link (Link | width << 8 | start << 16, the subtable's index
// width and first entry). Symbols are the pair x << 4 | y.
constexpr int RootBits = 8;
constexpr int SubtableBits = 8;
constexpr uint32_t Link = 1u << 15;

struct HuffmanTable {
    std::vector<uint32_t> entries;
};

// Fills the table of width bits at `base` for the codes whose first `consumed` bits are
// `prefix`, adding subtables for the longer ones.
void FillLevel(HuffmanTable& table, size_t base, int width, int consumed, uint32_t prefix,
               const HuffmanCodeTable& code, int values) {
    std::vector<int> deeper(size_t{1} << width, 0);  // by index: the longest code's bits past this level
    for (int value = 0; value < values; ++value) {
        const int length = code.lengths[value];
        if (length <= consumed || uint32_t{code.codes[value]} >> (length - consumed) != prefix) continue;
        const uint32_t rest = code.codes[value] & ((1u << (length - consumed)) - 1);
        if (length <= consumed + width) {
            const int free = consumed + width - length;
            const auto symbol = static_cast<uint32_t>(value / code.size << 4 | value % code.size);
            for (uint32_t low = 0; low < 1u << free; ++low) {
                table.entries[base + (rest << free | low)] = symbol | static_cast<uint32_t>(length - consumed) << 8;
            }
        } else {
            int& longest = deeper[rest >> (length - consumed - width)];
            longest = std::max(longest, length - consumed - width);
        }
    }
    for (uint32_t index = 0; index < deeper.size(); ++index) {
        if (deeper[index] == 0) continue;
        const int childWidth = std::min(deeper[index], SubtableBits);
        const size_t child = table.entries.size();
        table.entries.resize(child + (size_t{1} << childWidth));
        table.entries[base + index] = Link | static_cast<uint32_t>(childWidth) << 8 | static_cast<uint32_t>(child) << 16;
        FillLevel(table, child, childWidth, consumed + width, prefix << width | index, code, values);
    }
}

HuffmanTable BuildHuffmanTable(const HuffmanCodeTable& code, int values) {
    HuffmanTable table;
    table.entries.resize(size_t{1} << RootBits);
    FillLevel(table, 0, RootBits, 0, 0, code, values);
    return table;
}

// The symbol whose code starts the left-aligned bits of `word`; `used` gets its length.
inline uint32_t Lookup(const uint32_t* entries, uint64_t word, int& used) {
    int width = RootBits;
    uint32_t entry = entries[word >> (64 - RootBits)];
    used = 0;
    while (entry & Link) {
        used += width;
        width = static_cast<int>(entry >> 8 & 0x7F);
        entry = entries[(entry >> 16) + ((word << used) >> (64 - width))];
    }
    used += static_cast<int>(entry >> 8);
    return entry & 0xFF;
}

// A count1 quadruple as the next QuadrupleBits bits give it: its values and the bits its
// code and signs take.
constexpr int QuadrupleBits = 10;
struct Quadruple {
    int8_t values[4];
    int8_t bits;
};

Quadruple DecodeQuadrupleBits(const HuffmanCodeTable& code, uint32_t bits) {
    Quadruple quadruple{};
    for (int symbol = 0; symbol < 16; ++symbol) {
        const int length = code.lengths[symbol];
        if (bits >> (QuadrupleBits - length) != code.codes[symbol]) continue;
        int used = length;
        for (int i = 0; i < 4; ++i) {
            const int value = symbol >> (3 - i) & 1;
            const bool negative = value && (bits >> (QuadrupleBits - 1 - used) & 1);
            used += value;
            quadruple.values[i] = static_cast<int8_t>(negative ? -1 : value);
        }
        quadruple.bits = static_cast<int8_t>(used);
    }
    return quadruple;
}

// The filterbank's windows as the transforms of eight subbands side by side take them:
// position i, lane l; lanes of odd subbands negated at odd positions (the frequency
// inversion of the odd subbands).
struct LaneWindow {
    alignas(32) float values[36][Lanes];
};

// Everything the decoder computes once: the Huffman tables, the requantisation powers, the
// transform cosines and windows, and the antialias butterflies.
struct Tables {
    std::vector<HuffmanTable> pairTables;  // one for each code table
    std::array<const uint32_t*, 32> bigValues{};  // by table_select: its code's entries, or none
    // By count1 table, every quadruple with its signs: the code of at most 6 bits and up
    // to four sign bits look one entry up.
    std::array<std::array<Quadruple, 1 << QuadrupleBits>, 2> count1;
    std::array<float, LargestValue + 1> power43{};
    std::array<float, MaxQuarterSteps - MinQuarterSteps + 1> gain{};
    // The 36-point transform goes through the 18-point DCT-IV behind it, which a 9-point
    // complex DFT computes: the inputs paired into complex values turned by
    // exp(-i pi (4m + 1) / 72) (cosine, sine), the DFT's own turns exp(-2 pi i k / 9) for
    // k = 1, 2, 4 (cosine, sine) and sqrt(3) / 2 of its 3-point steps, and the factors that
    // take each DFT output p to the two outputs 2p and 17 - 2p, signed as the transform
    // wants them (see LongTransform).
    float longPre[9][2] = {};
    float ninthTurns[3][2] = {};
    float halfRoot3 = 0.0f;
    float longPost[9][4] = {};
    // The cosines of the 12-point transform's outputs that the others mirror: 0 to 2 and
    // 6 to 8 (out[5 - i] = -out[i], out[11 - i] = out[6 + i]).
    float shortCosines[6][6] = {};
    // By block type; type 2 holds the 12-point window.
    LaneWindow windows[4];
    float cs[8] = {};
    float ca[8] = {};
};

// cos(pi / 2n (2i + 1 + n / 2)(2k + 1)) of the n-point inverse transform's output i.
float TransformCosine(int n, int i, int k) {
    return static_cast<float>(std::cos(M_PI / (2 * n) * (2 * i + 1 + n / 2) * (2 * k + 1)));
}

double WindowValue(int blockType, int i) {
    auto longSine = [](int j) { return std::sin(M_PI / 36 * (j + 0.5)); };
    auto shortSine = [](int j) { return std::sin(M_PI / 12 * (j + 0.5)); };
    switch (blockType) {
        case 1:
            return i < 18 ? longSine(i) : i < 24 ? 1.0 : i < 30 ? shortSine(i - 18) : 0.0;
        case 2:
            return i < 12 ? shortSine(i) : 0.0;
        case 3:
            return i < 6 ? 0.0 : i < 12 ? shortSine(i - 6) : i < 18 ? 1.0 : longSine(i);
        default:
            return longSine(i);
    }
}

Tables BuildTables() {
    Tables t;
    // Table selects that differ only in linbits share their code's table.
    std::array<size_t, 32> tableOf{};
    for (int select = 0; select < 32; ++select) {
        const HuffmanCodeTable* code = BigValueTables[select].code;
        if (!code) continue;
        if (select > 0 && code == BigValueTables[select - 1].code) {
            tableOf[select] = tableOf[select - 1];
        } else {
            tableOf[select] = t.pairTables.size();
            t.pairTables.push_back(BuildHuffmanTable(*code, code->size * code->size));
        }
    }
    for (int select = 0; select < 32; ++select) {
        if (BigValueTables[select].code) t.bigValues[select] = t.pairTables[tableOf[select]].entries.data();
    }
    for (int select = 0; select < 2; ++select) {
        for (uint32_t bits = 0; bits < 1u << QuadrupleBits; ++bits) {
            t.count1[select][bits] = DecodeQuadrupleBits(Count1Tables[select], bits);
        }
    }
    for (int x = 0; x <= LargestValue; ++x) t.power43[x] = static_cast<float>(std::pow(x, 4.0 / 3.0));
    for (int q = MinQuarterSteps; q <= MaxQuarterSteps; ++q) {
        t.gain[q - MinQuarterSteps] = static_cast<float>(std::pow(2.0, q / 4.0));
    }
    for (int m = 0; m < 9; ++m) {
        const double angle = M_PI * (4 * m + 1) / 72;
        t.longPre[m][0] = static_cast<float>(std::cos(angle));
        t.longPre[m][1] = static_cast<float>(std::sin(angle));
    }
    for (int j = 0; j < 3; ++j) {
        const double angle = 2 * M_PI * (1 << j) / 9;
        t.ninthTurns[j][0] = static_cast<float>(std::cos(angle));
        t.ninthTurns[j][1] = static_cast<float>(std::sin(angle));
    }
    t.halfRoot3 = static_cast<float>(std::sqrt(3.0) / 2);
    // DFT output Z turned by exp(-i pi p / 18) gives DCT-IV output 2p as its real part and
    // 17 - 2p as its imaginary part negated; those below 9 are wanted negated.
    for (int p = 0; p < 9; ++p) {
        const double c = std::cos(M_PI * p / 18);
        const double s = std::sin(M_PI * p / 18);
        const double even = 2 * p < 9 ? -1 : 1;
        const double odd = 17 - 2 * p < 9 ? -1 : 1;
        t.longPost[p][0] = static_cast<float>(even * c);
        t.longPost[p][1] = static_cast<float>(even * s);
        t.longPost[p][2] = static_cast<float>(odd * s);
        t.longPost[p][3] = static_cast<float>(-odd * c);
    }
    for (int r = 0; r < 6; ++r) {
        for (int k = 0; k < 6; ++k) t.shortCosines[r][k] = TransformCosine(12, r < 3 ? r : r + 3, k);
    }
    for (int type = 0; type < 4; ++type) {
        for (int i = 0; i < 36; ++i) {
            const auto value = static_cast<float>(WindowValue(type, i));
            for (int lane = 0; lane < Lanes; ++lane) t.windows[type].values[i][lane] = lane % 2 && i % 2 ? -value : value;
        }
    }
    for (int i = 0; i < 8; ++i) {
        const double c = AntialiasCoefficients[i];
        t.cs[i] = static_cast<float>(1.0 / std::sqrt(1.0 + c * c));
        t.ca[i] = static_cast<float>(c / std::sqrt(1.0 + c * c));
    }
    return t;
}

const Tables& GetTables() {
    static const Tables tables = BuildTables();
    return tables;
}

int ReadBits(BitReader& bits, int n) { return n ? static_cast<int>(GetBits(bits, n)) : 0; }

// Side information of one channel in one granule.
struct ChannelSide {
    int part2_3_length = 0;
    int big_values = 0;
    int global_gain = 0;
    int scalefac_compress = 0;
    bool window_switching_flag = false;
    int block_type = 0;
    bool mixed_block_flag = false;
    int table_select[3] = {};
    int subblock_gain[3] = {};
    int region0_count = 0;
    int region1_count = 0;
    bool preflag = false;
    int scalefac_scale = 0;
    int count1table_select = 0;

    bool shortBlocks() const { return window_switching_flag && block_type == 2; }
    bool mixed() const { return shortBlocks() && mixed_block_flag; }
};

struct SideInfo {
    int main_data_begin = 0;
    bool scfsi[2][4] = {};
    ChannelSide granule[2][2];
};

ChannelSide ReadChannelSide(BitReader& bits, bool lsf) {
    ChannelSide side;
    side.part2_3_length = ReadBits(bits, 12);
    side.big_values = ReadBits(bits, 9);
    if (side.big_values > MaxBigValues) throw FrameFault{"big_values above 288"};
    side.global_gain = ReadBits(bits, 8);
    side.scalefac_compress = ReadBits(bits, lsf ? 9 : 4);
    side.window_switching_flag = ReadBits(bits, 1);
    if (side.window_switching_flag) {
        side.block_type = ReadBits(bits, 2);
        if (side.block_type == 0) throw FrameFault{"window switching with block type 0"};
        side.mixed_block_flag = ReadBits(bits, 1);
        for (int i = 0; i < 2; ++i) side.table_select[i] = ReadBits(bits, 5);
        for (int& gain : side.subblock_gain) gain = ReadBits(bits, 3);
    } else {
        for (int& select : side.table_select) select = ReadBits(bits, 5);
        side.region0_count = ReadBits(bits, 4);
        side.region1_count = ReadBits(bits, 3);
    }
    if (!lsf) side.preflag = ReadBits(bits, 1);
    side.scalefac_scale = ReadBits(bits, 1);
    side.count1table_select = ReadBits(bits, 1);
    return side;
}

}  // namespace

int ReadMainDataBegin(BitReader& bits, const FrameHeader& header) { return ReadBits(bits, header.lsf() ? 8 : 9); }

namespace {

SideInfo ReadSideInfo(BitReader& bits, const FrameHeader& header) {
    SideInfo info;
    const int channels = header.channels();
    const bool lsf = header.lsf();
    info.main_data_begin = ReadMainDataBegin(bits, header);
    ReadBits(bits, lsf ? channels : (channels == 1 ? 5 : 3));  // private bits
    if (!lsf) {
        for (int ch = 0; ch < channels; ++ch) {
            for (bool& group : info.scfsi[ch]) group = ReadBits(bits, 1);
        }
    }
    for (int gr = 0; gr < (lsf ? 1 : 2); ++gr) {
        for (int ch = 0; ch < channels; ++ch) info.granule[gr][ch] = ReadChannelSide(bits, lsf);
    }
    return info;
}

// One channel's scalefactors in one granule. The limits are the intensity positions from
// which a band is not intensity-coded (the illegal position and above).
struct Scalefactors {
    int long_bands[22] = {};
    int short_bands[13][3] = {};
    int long_limits[22] = {};
    int short_limits[13] = {};
    int intensity_scale = 0;
    bool preflag = false;
};

constexpr int Mpeg1IllegalPosition = 7;

void ReadMpeg1Scalefactors(BitReader& bits, const ChannelSide& side, const bool scfsi[4], bool secondGranule,
                           uint8_t kept[22], Scalefactors& sf) {
    std::fill(std::begin(sf.long_limits), std::end(sf.long_limits), Mpeg1IllegalPosition);
    std::fill(std::begin(sf.short_limits), std::end(sf.short_limits), Mpeg1IllegalPosition);
    sf.preflag = side.preflag;
    const int slen1 = ScalefactorLengths[0][side.scalefac_compress];
    const int slen2 = ScalefactorLengths[1][side.scalefac_compress];
    if (side.shortBlocks()) {
        int first = 0;
        if (side.mixed()) {
            for (int b = 0; b < 8; ++b) sf.long_bands[b] = ReadBits(bits, slen1);
            first = 3;
        }
        for (int s = first; s < 12; ++s) {
            for (int& value : sf.short_bands[s]) value = ReadBits(bits, s < 6 ? slen1 : slen2);
        }
        return;
    }
    // The four groups of bands that scfsi lets the second granule take over from the first.
    static constexpr int Groups[5] = {0, 6, 11, 16, 21};
    for (int g = 0; g < 4; ++g) {
        for (int b = Groups[g]; b < Groups[g + 1]; ++b) {
            if (!(secondGranule && scfsi[g])) kept[b] = static_cast<uint8_t>(ReadBits(bits, g < 2 ? slen1 : slen2));
            sf.long_bands[b] = kept[b];
        }
    }
}

void ReadMpeg2Scalefactors(BitReader& bits, const ChannelSide& side, bool intensityChannel, Scalefactors& sf) {
    int slen[4] = {};
    int table = 0;
    const int compress = side.scalefac_compress;
    if (intensityChannel) {
        sf.intensity_scale = compress & 1;
        const int c = compress >> 1;
        if (c < 180) {
            slen[0] = c / 36, slen[1] = c % 36 / 6, slen[2] = c % 6, table = 3;
        } else if (c < 244) {
            const int d = c - 180;
            slen[0] = d % 64 >> 4, slen[1] = d % 16 >> 2, slen[2] = d % 4, table = 4;
        } else {
            const int d = c - 244;
            slen[0] = d / 3, slen[1] = d % 3, table = 5;
        }
    } else if (compress < 400) {
        slen[0] = (compress >> 4) / 5, slen[1] = (compress >> 4) % 5, slen[2] = compress % 16 >> 2,
        slen[3] = compress % 4;
    } else if (compress < 500) {
        const int d = compress - 400;
        slen[0] = (d >> 2) / 5, slen[1] = (d >> 2) % 5, slen[2] = d % 4, table = 1;
    } else {
        const int d = compress - 500;
        slen[0] = d / 3, slen[1] = d % 3, table = 2;
        sf.preflag = true;
    }
    const int layout = side.mixed() ? 2 : side.shortBlocks() ? 1 : 0;
    const int longCount = layout == 0 ? 21 : layout == 2 ? 6 : 0;
    const int firstShort = layout == 2 ? 3 : 0;
    int slot = 0;
    for (int p = 0; p < 4; ++p) {
        const int limit = (1 << slen[p]) - 1;
        for (int n = 0; n < ScalefactorPartitions[table][layout][p]; ++n, ++slot) {
            const int value = ReadBits(bits, slen[p]);
            if (slot < longCount) {
                sf.long_bands[slot] = value;
                sf.long_limits[slot] = limit;
            } else {
                const int s = firstShort + (slot - longCount) / 3;
                sf.short_bands[s][(slot - longCount) % 3] = value;
                sf.short_limits[s] = limit;
            }
        }
    }
}

// A run of lines that share one gain: a long-block band, or one window of a short-block
// band. Lines are decoded in the coded order and stored at dest, dest + step, ...: short
// blocks are stored with their three windows interleaved, each subband's 18 lines then
// holding six lines of every window, as the short transforms want them.
struct Segment {
    int lines;
    int dest;
    int step;
    int quarterSteps;
};

constexpr int MaxSegments = 22 + 13 * 3;

// The segments of one granule and channel, in coded order; they cover all 576 lines.
struct Layout {
    Segment segments[MaxSegments];
    int count = 0;
    int longBands = 0;  // the long-block bands leading the segments (22 for long blocks)
    int firstShort = 0; // the first short-block band
};

Layout BuildLayout(const ChannelSide& side, const Scalefactors& sf, const ScalefactorBands& bands, bool lsf,
                   bool midSide) {
    Layout layout;
    const int base = side.global_gain - 210 - (midSide ? 2 : 0);
    const int shift = 1 + side.scalefac_scale;
    layout.longBands = side.mixed() ? (lsf ? 6 : 8) : side.shortBlocks() ? 0 : 22;
    for (int b = 0; b < layout.longBands; ++b) {
        const int scalefactor = sf.long_bands[b] + (sf.preflag ? Pretab[b] : 0);
        layout.segments[layout.count++] = {bands.long_bands[b + 1] - bands.long_bands[b], bands.long_bands[b], 1,
                                           base - (scalefactor << shift)};
    }
    if (!side.shortBlocks()) return layout;
    layout.firstShort = side.mixed() ? 3 : 0;
    for (int s = layout.firstShort; s < 13; ++s) {
        for (int w = 0; w < 3; ++w) {
            layout.segments[layout.count++] = {bands.short_bands[s + 1] - bands.short_bands[s],
                                               3 * bands.short_bands[s] + w, 3,
                                               base - 8 * side.subblock_gain[w] - (sf.short_bands[s][w] << shift)};
        }
    }
    return layout;
}

// One channel's requantised lines of a granule.
struct Spectrum {
    float lines[Lines];
    int top;            // 1 + the highest line that may be non-zero
};

// Bit n set: segment n of the layout holds a non-zero line.
uint64_t NonzeroSegments(const Layout& layout, const float* lines) {
    uint64_t nonzero = 0;
    for (int n = 0; n < layout.count; ++n) {
        const Segment& segment = layout.segments[n];
        bool any = false;
        for (int i = 0, line = segment.dest; i < segment.lines; ++i, line += segment.step) any = any || lines[line] != 0.0f;
        nonzero |= uint64_t{any} << n;
    }
    return nonzero;
}

// A refill's load sits in the chain from one code to the next, after the lookup's: codes
// that are sure to fit share one. A big-value pair takes at most 47 bits (a code of at most
// 19 bits, two times 13 linbits and two signs), one without linbits at most 21; a count1
// quadruple at most 10. A refill gives 56 or more.
constexpr int PairsPerRefillWithoutLinbits = 2;
constexpr int QuadruplesPerRefill = 5;

// One big-value pair with the lookup table of its code (its linbits and the signs
// included), from bits already loaded; Escapes: the table has linbits. Signs and escapes
// are taken without branches: they are as good as random.
template <bool Escapes>
inline void DecodePair(BitCache& bits, const uint32_t* entries, int linbits, int values[2]) {
    const uint64_t word = bits.Bits();
    int used = 0;
    const uint32_t symbol = Lookup(entries, word, used);
    const int coded[2] = {static_cast<int>(symbol >> 4), static_cast<int>(symbol & 15)};
    for (int i = 0; i < 2; ++i) {
        int value = coded[i];
        if constexpr (Escapes) {
            const bool escaped = value == 15;
            value += escaped ? static_cast<int>((word << used) >> (64 - linbits)) : 0;
            used += escaped ? linbits : 0;
        }
        const int negative = static_cast<int>((word << used) >> 63);
        used += value != 0;
        values[i] = (value ^ -negative) + negative;
    }
    bits.Skip(used);
}

// One count1 quadruple with the table of its code, signs included, from bits already
// loaded; its four values widened to ints by one conversion rather than one by one.
inline void DecodeQuadruple(BitCache& bits, const Quadruple* table, int values[4]) {
    typedef int8_t QuadrupleBytes __attribute__((vector_size(4)));
    typedef int32_t QuadrupleInts __attribute__((vector_size(16)));
    const Quadruple& quadruple = table[bits.Bits() >> (64 - QuadrupleBits)];
    QuadrupleBytes bytes;
    std::memcpy(&bytes, quadruple.values, sizeof bytes);
    const auto ints = __builtin_convertvector(bytes, QuadrupleInts);
    std::memcpy(values, &ints, sizeof ints);
    bits.Skip(quadruple.bits);
}

// The big-value pairs from line up to end with one table's lookups; returns end.
template <bool Escapes>
int DecodePairs(BitCache& bits, const uint32_t* entries, int linbits, int32_t* values, int line, int end) {
    constexpr int PerRefill = Escapes ? 1 : PairsPerRefillWithoutLinbits;
    for (; line + 2 * PerRefill <= end; line += 2 * PerRefill) {
        bits.Refill();
        for (int n = 0; n < PerRefill; ++n) DecodePair<Escapes>(bits, entries, linbits, values + line + 2 * n);
    }
    for (; line < end; line += 2) {
        bits.Refill();
        DecodePair<Escapes>(bits, entries, linbits, values + line);
    }
    return end;
}

// The big-value pairs from line up to end (at least line) coded with table_select: 0s for
// a table that codes nothing. Returns end.
int DecodeRegion(BitCache& bits, int table_select, int32_t* values, int line, int end) {
    const BigValueTable& table = BigValueTables[table_select];
    const uint32_t* entries = GetTables().bigValues[table_select];
    if (!table.code) {
        std::fill(values + line, values + end, 0);
        return end;
    }
    return table.linbits ? DecodePairs<true>(bits, entries, table.linbits, values, line, end)
                         : DecodePairs<false>(bits, entries, 0, values, line, end);
}

typedef int32_t LaneInts __attribute__((vector_size(Lanes * sizeof(int32_t))));
typedef float LaneFloats __attribute__((vector_size(Lanes * sizeof(float))));

// Eight values of a run of lines requantised at once where all are below 16, whose powers
// two registers hold; false (nothing written) where one is not.
[[gnu::always_inline]] inline bool RequantizeSmall(const int32_t* values, const LaneFloats (&powers)[2], float gain,
                                                   float* dest) {
    LaneInts v;
    std::memcpy(&v, values, sizeof v);
    const LaneInts magnitude = v < 0 ? -v : v;
    const LaneInts large = magnitude > 15;
    uint64_t words[Lanes / 2];
    std::memcpy(words, &large, sizeof words);
    if ((words[0] | words[1] | words[2] | words[3]) != 0) return false;
    const LaneFloats scaled = __builtin_shuffle(powers[0], powers[1], magnitude) * gain;
    const LaneInts bits = __builtin_bit_cast(LaneInts, scaled) | (v & static_cast<int32_t>(0x80000000u));
    std::memcpy(dest, &bits, sizeof bits);
    return true;
}

// The requantised lines of the decoded values, segment by segment, each value
// |v|^(4/3) x the segment's gain with v's sign put in as a bit (a zero stays +0); the lines
// past the values stay 0. Sets the top: 1 + the highest line that is not 0. Eight at a
// time only with a permute instruction for the powers: the plain build would pick each
// power out on its own, slower than the plain loop.
template <bool EightAtATime>
[[gnu::always_inline]] inline void RequantizeLines(const int32_t* values, int count, const Layout& layout,
                                                   Spectrum& out) {
    const Tables& t = GetTables();
    LaneFloats powers[2];
    std::memcpy(powers, t.power43.data(), sizeof powers);
    std::fill(std::begin(out.lines), std::end(out.lines), 0.0f);
    int end = 0;
    for (const Segment* segment = layout.segments; count > 0; ++segment) {
        const int lines = std::min(segment->lines, count);
        const float gain = t.gain[segment->quarterSteps - MinQuarterSteps];
        float* dest = out.lines + segment->dest;
        int i = 0;
        if (EightAtATime && segment->step == 1) {
            while (i + Lanes <= lines && RequantizeSmall(values + i, powers, gain, dest + i)) i += Lanes;
        }
        for (; i < lines; ++i) {
            const int32_t value = values[i];
            const float magnitude = t.power43[std::abs(value)] * gain;
            dest[i * segment->step] =
                std::bit_cast<float>(std::bit_cast<uint32_t>(magnitude) | (static_cast<uint32_t>(value) & 0x80000000u));
        }
        end = std::max(end, segment->dest + (lines - 1) * segment->step + 1);
        values += lines;
        count -= lines;
    }
    // The lines past the last non-zero one (stored zeros are +0), eight at a time first.
    auto zeroGroup = [&](int at) {
        uint32_t bits = 0;
        for (int i = 0; i < 8; ++i) bits |= std::bit_cast<uint32_t>(out.lines[at + i]);
        return bits == 0;
    };
    while (end >= 8 && zeroGroup(end - 8)) end -= 8;
    while (end > 0 && out.lines[end - 1] == 0.0f) --end;
    out.top = end;
}

void RequantizeLinesPlain(const int32_t* values, int count, const Layout& layout, Spectrum& out) {
    RequantizeLines<false>(values, count, layout, out);
}

#ifdef VORTAX_AVX2_KERNELS
[[VORTAX_AVX2]] void RequantizeLinesAvx2(const int32_t* values, int count, const Layout& layout, Spectrum& out) {
    RequantizeLines<true>(values, count, layout, out);
}
#endif

// Huffman decoding up to the end of the channel's part2_3_length bits, where the reader is
// left, then requantisation: two tight loops rather than one that does both.
void DecodeSpectrum(BitReader& reader, const ChannelSide& side, const Layout& layout, const ScalefactorBands& bands,
                    size_t channelEnd, Spectrum& out) {
    const Tables& t = GetTables();
    BitCache bits(reader);
    // The values in coded order; segments hold an even number of lines, and the count1
    // quadruples stop 4 short of the end, so writes stay within.
    int32_t values[Lines];

    const int bigLines = side.big_values * 2;
    int region1 = 0;
    int region2 = 0;
    if (side.window_switching_flag) {
        region1 = side.block_type == 2 ? 3 * bands.short_bands[3] : bands.long_bands[8];
        region2 = Lines;
    } else {
        region1 = bands.long_bands[side.region0_count + 1];
        region2 = bands.long_bands[std::min(side.region0_count + side.region1_count + 2, 22)];
    }
    // A pair belongs to the region its first line is in.
    const int regionEnds[3] = {std::min(region1, bigLines), std::min(region2, bigLines), bigLines};
    int line = 0;
    for (int region = 0; region < 3; ++region) {
        line = DecodeRegion(bits, side.table_select[region], values, line, std::max(line, regionEnds[region]));
    }
    // A quadruple that runs past the channel's bits is not part of its data.
    const Quadruple* quadruples = t.count1[side.count1table_select].data();
    for (bool more = true; more;) {
        bits.Refill();
        for (int n = 0; n < QuadruplesPerRefill; ++n) {
            more = line <= Lines - 4 && bits.Position() < channelEnd;
            if (!more) break;
            DecodeQuadruple(bits, quadruples, values + line);
            more = bits.Position() <= channelEnd;
            if (!more) break;
            line += 4;
        }
    }
    reader.position = channelEnd;
    VORTAX_KERNEL(RequantizeLines)(values, line, layout, out);
}

int HighestBit(uint64_t mask) { return static_cast<int>(std::bit_width(mask)) - 1; }

// Applies one segment's intensity stereo when its position is legal; false otherwise.
bool ApplyIntensity(const Segment& segment, int position, int limit, const FrameHeader& header, int intensityScale,
                    bool midSide, float* left, float* right) {
    if (position >= limit) return false;
    IntensityFactors factors = header.lsf() ? Mpeg2Intensity(position, intensityScale) : Mpeg1Intensity(position);
    if (midSide) {
        // The coded channel was requantised with the mid/side 1/sqrt(2): undo it.
        factors.left *= static_cast<float>(M_SQRT2);
        factors.right *= static_cast<float>(M_SQRT2);
    }
    for (int i = 0, line = segment.dest; i < segment.lines; ++i, line += segment.step) {
        right[line] = left[line] * factors.right;
        left[line] *= factors.left;
    }
    return true;
}

// Joint stereo. Intensity stereo works on the bands above the right channel's last
// non-zero band (per window in short blocks), with the right channel's scalefactors as
// positions; mid/side works on every other line.
void ProcessStereo(const FrameHeader& header, const Layout& layout, const Scalefactors& rightFactors,
                   Spectrum spectra[2]) {
    const bool midSide = header.mode_extension & 2;
    float* left = spectra[0].lines;
    float* right = spectra[1].lines;
    std::array<bool, MaxSegments> done{};
    // Bands first .. end - 1 of one window, or of the long bands, whose last band is
    // `last`. The last band has no scalefactor: it continues the band below when that one is
    // intensity-coded too, and is otherwise neutral: MPEG-2's position 0 (both channels at
    // the coded level), while MPEG-1 has no neutral position and leaves it as coded.
    auto intensityBands = [&](int first, int end, int last, auto position, auto limit, auto segmentOf) {
        for (int b = first; b < end; ++b) {
            const bool own = b < last || b > first;
            const int source = b < last ? b : b - 1;
            const int pos = own ? position(source) : 0;
            const int illegal = own ? limit(source) : header.lsf() ? 1 : 0;
            const int n = segmentOf(b);
            done[n] = ApplyIntensity(layout.segments[n], pos, illegal, header, rightFactors.intensity_scale, midSide,
                                     left, right);
        }
    };
    if (header.mode_extension & 1) {
        const uint64_t nonzero = NonzeroSegments(layout, spectra[1].lines);
        const int longBands = layout.longBands;
        bool shortPartSilent = true;
        for (int w = 0; w < 3 && layout.count > longBands; ++w) {
            auto segmentOf = [&](int s) { return longBands + (s - layout.firstShort) * 3 + w; };
            int last = layout.firstShort - 1;
            for (int s = layout.firstShort; s < 13; ++s) {
                if (nonzero >> segmentOf(s) & 1) last = s;
            }
            shortPartSilent = shortPartSilent && last < layout.firstShort;
            intensityBands(
                last + 1, 13, 12, [&](int s) { return rightFactors.short_bands[s][w]; },
                [&](int s) { return rightFactors.short_limits[s]; }, segmentOf);
        }
        if (shortPartSilent && longBands > 0) {
            const int last = HighestBit(nonzero & ((uint64_t{1} << longBands) - 1));
            intensityBands(
                last + 1, longBands, 21, [&](int b) { return rightFactors.long_bands[b]; },
                [&](int b) { return rightFactors.long_limits[b]; }, [](int b) { return b; });
        }
    }
    const int top = std::max(spectra[0].top, spectra[1].top);
    if (midSide) {
        for (int n = 0; n < layout.count; ++n) {
            const Segment& segment = layout.segments[n];
            if (done[n] || segment.dest >= top) continue;
            for (int i = 0, line = segment.dest; i < segment.lines; ++i, line += segment.step) {
                const float m = left[line];
                const float s = right[line];
                left[line] = m + s;
                right[line] = m - s;
            }
        }
    }
    spectra[0].top = spectra[1].top = top;
}

// The filterbank works on the lines transposed: lines[k][sb] is line k of subband sb, so
// that the transforms of eight subbands run side by side, one in each lane.
using Transposed = float[SubbandLines][Subbands];

// The antialias butterflies between the subbands of long blocks; returns how many
// subbands may now be non-zero.
[[gnu::always_inline]] inline int Antialias(Transposed& lines, const ChannelSide& side, int active) {
    const Tables& t = GetTables();
    const int boundaries = side.mixed() ? std::min(active, 1) : side.shortBlocks() ? 0 : std::min(active, Subbands - 1);
    for (int i = 0; i < 8; ++i) {
        // Line 17 - i of the subband below each boundary, line i of the one above.
        float* below = lines[SubbandLines - 1 - i];
        float* above = lines[i];
        for (int sb = 1; sb <= boundaries; ++sb) {
            const float low = below[sb - 1];
            const float high = above[sb];
            below[sb - 1] = low * t.cs[i] - high * t.ca[i];
            above[sb] = high * t.cs[i] + low * t.ca[i];
        }
    }
    return boundaries > 0 ? std::max(active, boundaries + 1) : active;
}

// Eight floats: the same line of the eight subbands a transform works on.
typedef float LaneValues __attribute__((vector_size(Lanes * sizeof(float))));

// Rows i of eight vectors become the vectors: an 8 x 8 transpose, in three rounds of
// shuffles that pair values, then pairs, then quadruples.
[[gnu::always_inline]] inline void Transpose(LaneValues (&v)[Lanes]) {
    LaneValues t[Lanes];
    for (int i = 0; i < Lanes; i += 2) {
        t[i] = __builtin_shufflevector(v[i], v[i + 1], 0, 8, 1, 9, 4, 12, 5, 13);
        t[i + 1] = __builtin_shufflevector(v[i], v[i + 1], 2, 10, 3, 11, 6, 14, 7, 15);
    }
    LaneValues u[Lanes];
    for (int i = 0; i < Lanes; i += 4) {
        u[i] = __builtin_shufflevector(t[i], t[i + 2], 0, 1, 8, 9, 4, 5, 12, 13);
        u[i + 1] = __builtin_shufflevector(t[i], t[i + 2], 2, 3, 10, 11, 6, 7, 14, 15);
        u[i + 2] = __builtin_shufflevector(t[i + 1], t[i + 3], 0, 1, 8, 9, 4, 5, 12, 13);
        u[i + 3] = __builtin_shufflevector(t[i + 1], t[i + 3], 2, 3, 10, 11, 6, 7, 14, 15);
    }
    for (int i = 0; i < 4; ++i) {
        v[i] = __builtin_shufflevector(u[i], u[i + 4], 0, 1, 2, 3, 8, 9, 10, 11);
        v[i + 4] = __builtin_shufflevector(u[i], u[i + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

// The lines of eight subbands from `first`, subband by subband in the spectrum, into the
// transposed lines: eight lines at a time through a transpose, the last two one by one.
[[gnu::always_inline]] inline void TransposeSubbands(const float* spectrum, int first, Transposed& lines) {
    // Unrolled, so that the vectors stay in registers (see LongTransform).
#pragma GCC unroll 2
    for (int k = 0; k + Lanes <= SubbandLines; k += Lanes) {
        LaneValues v[Lanes];
#pragma GCC unroll 8
        for (int i = 0; i < Lanes; ++i) std::memcpy(&v[i], spectrum + (first + i) * SubbandLines + k, sizeof v[i]);
        Transpose(v);
#pragma GCC unroll 8
        for (int i = 0; i < Lanes; ++i) std::memcpy(&lines[k + i][first], &v[i], sizeof v[i]);
    }
    for (int k = SubbandLines / Lanes * Lanes; k < SubbandLines; ++k) {
        for (int i = 0; i < Lanes; ++i) lines[k][first + i] = spectrum[(first + i) * SubbandLines + k];
    }
}

// Complex values of eight subbands side by side.
struct LaneComplex {
    LaneValues re, im;
};

// a times exp(-i angle), given its cosine and sine.
[[gnu::always_inline]] inline void Turn(LaneComplex& a, const float (&turn)[2]) {
    const LaneValues re = a.re * turn[0] + a.im * turn[1];
    a.im = a.im * turn[0] - a.re * turn[1];
    a.re = re;
}

// The 3-point DFT (by exp(-2 pi i / 3)) of a0, a1, a2 in place.
[[gnu::always_inline]] inline void Dft3(LaneComplex& a0, LaneComplex& a1, LaneComplex& a2, float halfRoot3) {
    const LaneComplex sum = {a1.re + a2.re, a1.im + a2.im};
    const LaneComplex difference = {(a1.re - a2.re) * halfRoot3, (a1.im - a2.im) * halfRoot3};
    const LaneComplex rest = {a0.re - sum.re * 0.5f, a0.im - sum.im * 0.5f};
    a0 = {a0.re + sum.re, a0.im + sum.im};
    a1 = {rest.re + difference.im, rest.im - difference.re};
    a2 = {rest.re - difference.im, rest.im + difference.re};
}

// The 36-point inverse transform out[i] = sum over k of in[k] cos(pi / 72 (2i + 19)(2k + 1))
// of the eight subbands from `first`, times the window. Its outputs are those of the
// 18-point DCT-IV y[n] = sum over k of in[k] cos(pi / 72 (2n + 1)(2k + 1)): out[i] = y[i + 9]
// and out[17 - i] = -y[i + 9] for i < 9, out[18 + i] = out[35 - i] = -y[8 - i]. The DCT-IV
// takes a 9-point complex DFT of in[2m] + i in[17 - 2m] turned by exp(-i pi (4m + 1) / 72),
// done as three 3-point DFTs, turns, and three more: about a third of the direct sums'
// multiplications.
[[gnu::always_inline]] inline void LongTransform(const Transposed& in, int first, const LaneWindow& window,
                                                 float (*raw)[Lanes]) {
    const Tables& t = GetTables();
    LaneComplex v[9];
    // Unrolled, so that v stays in registers: stored half by half and loaded whole, it
    // would stall every load.
#pragma GCC unroll 9
    for (int m = 0; m < 9; ++m) {
        std::memcpy(&v[m].re, &in[2 * m][first], sizeof v[m].re);
        std::memcpy(&v[m].im, &in[SubbandLines - 1 - 2 * m][first], sizeof v[m].im);
        Turn(v[m], t.longPre[m]);
    }
    // Input 3q + r, output p + 3s: 3-point DFTs over q, the turns exp(-2 pi i r p / 9),
    // 3-point DFTs over r.
    for (int r = 0; r < 3; ++r) Dft3(v[r], v[3 + r], v[6 + r], t.halfRoot3);
    Turn(v[4], t.ninthTurns[0]);
    Turn(v[5], t.ninthTurns[1]);
    Turn(v[7], t.ninthTurns[1]);
    Turn(v[8], t.ninthTurns[2]);
    for (int p = 0; p < 3; ++p) Dft3(v[3 * p], v[3 * p + 1], v[3 * p + 2], t.halfRoot3);
    // DCT-IV outputs y[n] for n >= 9, -y[n] below.
    LaneValues y[SubbandLines];
#pragma GCC unroll 3
    for (int p = 0; p < 3; ++p) {
#pragma GCC unroll 3
        for (int s = 0; s < 3; ++s) {
            const LaneComplex& z = v[3 * p + s];
            const float (&post)[4] = t.longPost[p + 3 * s];
            y[2 * (p + 3 * s)] = z.re * post[0] + z.im * post[1];
            y[SubbandLines - 1 - 2 * (p + 3 * s)] = z.re * post[2] + z.im * post[3];
        }
    }
    // Unrolled too: as a loop, the stores to raw went through the stack piece by piece.
#pragma GCC unroll 9
    for (int i = 0; i < 9; ++i) {
        const int positions[4] = {i, 17 - i, 18 + i, 35 - i};
        const LaneValues outputs[4] = {y[i + 9], -y[i + 9], y[8 - i], y[8 - i]};
        for (int j = 0; j < 4; ++j) {
            LaneValues values;
            std::memcpy(&values, window.values[positions[j]], sizeof values);
            values *= outputs[j];
            std::memcpy(raw[positions[j]], &values, sizeof values);
        }
    }
}

// The three 12-point inverse transforms of short blocks, whose lines are interleaved by
// window (in[w + 3k]), each windowed and added in at 6 + 6w.
[[gnu::always_inline]] inline void ShortTransforms(const Transposed& in, int first, const LaneWindow& window,
                                                   float (*raw)[Lanes]) {
    const Tables& t = GetTables();
    LaneValues out[36] = {};
    for (int w = 0; w < 3; ++w) {
        LaneValues x[6];
        for (int k = 0; k < 6; ++k) std::memcpy(&x[k], &in[w + 3 * k][first], sizeof x[k]);
        LaneValues sums[6] = {};
        for (int k = 0; k < 6; ++k) {
            for (int j = 0; j < 6; ++j) sums[j] += x[k] * t.shortCosines[j][k];
        }
        // Output j < 3 also gives 5 - j negated; output j + 3 (6 to 8) gives 14 - j.
        LaneValues y[12];
        for (int j = 0; j < 6; ++j) {
            y[j < 3 ? j : j + 3] = sums[j];
            y[j < 3 ? 5 - j : 14 - j] = j < 3 ? -sums[j] : sums[j];
        }
        for (int k = 0; k < 12; ++k) {
            LaneValues coefficients;
            std::memcpy(&coefficients, window.values[k], sizeof coefficients);
            out[6 + 6 * w + k] += y[k] * coefficients;
        }
    }
    std::memcpy(raw, out, sizeof out);
}

// The hybrid filterbank of one channel: the antialias butterflies, then the transforms of
// the active subbands (eight at a time), overlapped with the previous granule, written as
// the 18 rows of 32 subband samples. Subbands above the active ones give out what their
// overlap holds; those above the kept ones are silent.
[[gnu::always_inline]] inline void Filterbank(const float* spectrum, const ChannelSide& side, int active, int kept,
                                              float (*overlap)[Subbands], float (*rows)[Subbands]) {
    const Tables& t = GetTables();
    // The butterflies reach one subband above the active ones.
    const int reach = std::min((active + Lanes) / Lanes * Lanes, Subbands);
    alignas(32) Transposed lines;
    for (int first = 0; first < reach; first += Lanes) TransposeSubbands(spectrum, first, lines);
    active = Antialias(lines, side, active);
    const int transformed = (std::min(active, kept) + Lanes - 1) / Lanes * Lanes;
    for (int first = 0; first < transformed; first += Lanes) {
        alignas(32) float raw[36][Lanes];
        if (side.shortBlocks()) {
            ShortTransforms(lines, first, t.windows[2], raw);
        } else {
            LongTransform(lines, first, t.windows[side.block_type], raw);
        }
        // A mixed block's two lowest subbands take the long transform with the normal
        // window, whatever the block type.
        if (first == 0 && side.window_switching_flag && side.mixed_block_flag) {
            alignas(32) float low[36][Lanes];
            LongTransform(lines, first, t.windows[0], low);
            for (int i = 0; i < 36; ++i) raw[i][0] = low[i][0], raw[i][1] = low[i][1];
        }
        for (int i = 0; i < SubbandLines; ++i) {
            for (int lane = 0; lane < Lanes; ++lane) {
                rows[i][first + lane] = raw[i][lane] + overlap[i][first + lane];
                overlap[i][first + lane] = raw[SubbandLines + i][lane];
            }
        }
    }
    for (int i = 0; i < SubbandLines; ++i) {
        for (int sb = transformed; sb < Subbands; ++sb) {
            rows[i][sb] = sb < kept ? overlap[i][sb] : 0.0f;
            overlap[i][sb] = 0.0f;
        }
    }
}

void FilterbankPlain(const float* spectrum, const ChannelSide& side, int active, int kept, float (*overlap)[Subbands],
                     float (*rows)[Subbands]) {
    Filterbank(spectrum, side, active, kept, overlap, rows);
}

#ifdef VORTAX_AVX2_KERNELS
[[VORTAX_AVX2]] void FilterbankAvx2(const float* spectrum, const ChannelSide& side, int active, int kept,
                                    float (*overlap)[Subbands], float (*rows)[Subbands]) {
    Filterbank(spectrum, side, active, kept, overlap, rows);
}
#endif

const ScalefactorBands& BandsOf(const FrameHeader& header) {
    const int group = header.version_code == 1 ? 0 : header.version_code == 0 ? 1 : 2;
    return ScalefactorBandTables[group][header.frequency_index];
}

}  // namespace

void ResetLayer3(Layer3State& state) { state = Layer3State{}; }

void ReadPair(BitReader& bits, int table_select, int values[2]) {
    BitCache cache(bits);
    DecodeRegion(cache, table_select, values, 0, 2);
    bits.position = cache.Position();
}

void ReadQuadruple(BitReader& bits, int count1table_select, int values[4]) {
    BitCache cache(bits);
    cache.Refill();
    DecodeQuadruple(cache, GetTables().count1[count1table_select].data(), values);
    bits.position = cache.Position();
}

float Requantize(int value, int quarterSteps) {
    const Tables& t = GetTables();
    const float magnitude = t.power43[std::abs(value)] * t.gain[quarterSteps - MinQuarterSteps];
    return value < 0 ? -magnitude : magnitude;
}

IntensityFactors Mpeg1Intensity(int is_pos) {
    const double angle = is_pos * M_PI / 12;
    const double sum = std::sin(angle) + std::cos(angle);
    return {static_cast<float>(std::sin(angle) / sum), static_cast<float>(std::cos(angle) / sum)};
}

IntensityFactors Mpeg2Intensity(int is_pos, int intensity_scale) {
    if (is_pos == 0) return {1.0f, 1.0f};
    const double step = intensity_scale ? M_SQRT1_2 : std::pow(2.0, -0.25);
    const auto lowered = static_cast<float>(std::pow(step, (is_pos + 1) / 2));
    return is_pos % 2 ? IntensityFactors{lowered, 1.0f} : IntensityFactors{1.0f, lowered};
}

void DecodeLayer3(Layer3State& state, FrameReader& reader, const FrameHeader& header, const Routing& routing) {
    BitReader sideBits;
    FrameBits(reader, sideBits);
    const SideInfo side = ReadSideInfo(sideBits, header);
    const int granules = header.lsf() ? 1 : 2;
    const int channels = header.channels();
    const int kept = Subbands >> routing.reduction;

    // Which channels reach synthesis, and where.
    bool wanted[2] = {};
    for (int ch = 0; ch < channels; ++ch) wanted[ch] = routing.average || routing.target[ch];

    BitReader bits;
    if (!MainData(reader, side.main_data_begin, bits)) {
        for (int gr = 0; gr < granules; ++gr) {
            for (int i = 0; i < SubbandLines; ++i) {
                for (SynthesisArea* target : routing.target) {
                    if (target) SynthesizeSilence(*target);
                }
            }
        }
        std::memset(state.overlap, 0, sizeof state.overlap);
        return;
    }

    const ScalefactorBands& bands = BandsOf(header);
    const bool joint = header.mode == MODE_JOINT_STEREO && channels == 2;
    const bool midSide = joint && (header.mode_extension & 2);
    const bool intensity = joint && (header.mode_extension & 1);
    Spectrum spectra[2];
    float rows[2][SubbandLines][Subbands];
    for (int gr = 0; gr < granules; ++gr) {
        Scalefactors factors[2];
        Layout layouts[2];
        for (int ch = 0; ch < channels; ++ch) {
            const ChannelSide& channel = side.granule[gr][ch];
            const size_t end = BitsRead(bits) + static_cast<size_t>(channel.part2_3_length);
            if (header.lsf()) {
                ReadMpeg2Scalefactors(bits, channel, intensity && ch == 1, factors[ch]);
            } else {
                ReadMpeg1Scalefactors(bits, channel, side.scfsi[ch], gr == 1, state.scalefactors[ch], factors[ch]);
            }
            layouts[ch] = BuildLayout(channel, factors[ch], bands, header.lsf(), midSide);
            DecodeSpectrum(bits, channel, layouts[ch], bands, end, spectra[ch]);
        }
        if (joint) ProcessStereo(header, layouts[1], factors[1], spectra);
        for (int ch = 0; ch < channels; ++ch) {
            if (!wanted[ch]) continue;
            const int active = (spectra[ch].top + SubbandLines - 1) / SubbandLines;
            VORTAX_KERNEL(Filterbank)(spectra[ch].lines, side.granule[gr][ch], active, kept, state.overlap[ch], rows[ch]);
        }
        if (routing.average && channels == 2) {
            for (int i = 0; i < SubbandLines; ++i) {
                for (int sb = 0; sb < kept; ++sb) rows[0][i][sb] = (rows[0][i][sb] + rows[1][i][sb]) * 0.5f;
            }
        }
        if (!routing.average && channels == 2 && routing.target[0] && routing.target[1]) {
            for (int i = 0; i < SubbandLines; ++i) {
                SynthesizePair(*routing.target[0], *routing.target[1], rows[0][i], rows[1][i]);
            }
            continue;
        }
        for (int ch = 0; ch < (routing.average ? 1 : channels); ++ch) {
            if (!routing.target[ch]) continue;
            for (int i = 0; i < SubbandLines; ++i) Synthesize(*routing.target[ch], rows[ch][i]);
        }
    }
}

}  // namespace vortax
