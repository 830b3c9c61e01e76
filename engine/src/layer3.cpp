#include "layer3.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "tables/huffman_tables.h"
#include "tables/layer3_tables.h"

namespace {

constexpr int Lines = 576;
constexpr int Subbands = 32;
constexpr int SubbandLines = 18;
constexpr int MaxBigValues = 288;
constexpr int LongestCode = 19;       // bits of the longest Huffman code word
constexpr int LargestValue = 15 + 8191;  // 15 plus 13 linbits
constexpr int MinQuarterSteps = -210 - 2 - 8 * 7 - 31 * 4;  // mid/side, subblock gain 7, scalefactor 31 doubled
constexpr int MaxQuarterSteps = 255 - 210;

// A binary decoding tree: entries 2n and 2n + 1 are node n's children for the bits 0 and
// 1; a positive entry is the next node, any other the leaf of the value -entry.
struct HuffmanTree {
    std::vector<int16_t> children;
};

HuffmanTree BuildTree(const HuffmanCodeTable& table, int values) {
    HuffmanTree tree;
    tree.children.assign(2, 0);
    for (int value = 0; value < values; ++value) {
        int node = 0;
        for (int bit = table.lengths[value] - 1; bit >= 0; --bit) {
            const size_t entry = 2 * node + ((table.codes[value] >> bit) & 1);
            if (bit == 0) {
                tree.children[entry] = static_cast<int16_t>(-value);
            } else {
                if (tree.children[entry] <= 0) {
                    tree.children[entry] = static_cast<int16_t>(tree.children.size() / 2);
                    tree.children.resize(tree.children.size() + 2, 0);
                }
                node = tree.children[entry];
            }
        }
    }
    return tree;
}

// Everything the decoder computes once: the Huffman trees, the requantisation powers, the
// transform cosines and windows, and the antialias butterflies.
struct Tables {
    std::array<HuffmanTree, 32> bigValues;
    std::array<HuffmanTree, 2> count1;
    std::array<float, LargestValue + 1> power43{};
    std::array<float, MaxQuarterSteps - MinQuarterSteps + 1> gain{};
    std::array<float, 36 * 18> longCosines{};
    std::array<float, 12 * 6> shortCosines{};
    // [block type][subband parity]: the 36-point windows of block types 0, 1 and 3 and the
    // 12-point window (block type 2), negated at odd positions for odd subbands: the
    // frequency inversion of the filterbank's odd subbands.
    float windows[4][2][36] = {};
    float cs[8] = {};
    float ca[8] = {};
};

void FillCosines(float* cosines, int n) {
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < n / 2; ++k) {
            cosines[i * (n / 2) + k] = static_cast<float>(std::cos(M_PI / (2 * n) * (2 * i + 1 + n / 2) * (2 * k + 1)));
        }
    }
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
    for (int select = 0; select < 32; ++select) {
        if (const HuffmanCodeTable* code = BigValueTables[select].code) {
            t.bigValues[select] = BuildTree(*code, code->size * code->size);
        }
    }
    for (int select = 0; select < 2; ++select) t.count1[select] = BuildTree(Count1Tables[select], 16);
    for (int x = 0; x <= LargestValue; ++x) t.power43[x] = static_cast<float>(std::pow(x, 4.0 / 3.0));
    for (int q = MinQuarterSteps; q <= MaxQuarterSteps; ++q) {
        t.gain[q - MinQuarterSteps] = static_cast<float>(std::pow(2.0, q / 4.0));
    }
    FillCosines(t.longCosines.data(), 36);
    FillCosines(t.shortCosines.data(), 12);
    for (int type = 0; type < 4; ++type) {
        for (int i = 0; i < 36; ++i) {
            const auto value = static_cast<float>(WindowValue(type, i));
            t.windows[type][0][i] = value;
            t.windows[type][1][i] = i % 2 ? -value : value;
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

// Walks the tree over a look-ahead of the longest code and gives back what it did not use.
int DecodeSymbol(BitReader& bits, const HuffmanTree& tree) {
    const uint32_t word = GetBits(bits, LongestCode);
    int used = 0;
    int entry = 0;
    do {
        ++used;
        entry = tree.children[2 * entry + ((word >> (LongestCode - used)) & 1)];
    } while (entry > 0);
    PutBackBits(bits, LongestCode - used);
    return -entry;
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

SideInfo ReadSideInfo(BitReader& bits, const FrameHeader& header) {
    SideInfo info;
    const int channels = header.channels();
    const bool lsf = header.lsf();
    info.main_data_begin = ReadBits(bits, lsf ? 8 : 9);
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
    uint64_t nonzero;   // bit n: segment n holds a non-zero line
};

// Huffman decoding and requantisation in one pass, up to the end of the channel's
// part2_3_length bits, where the reader is left.
void DecodeSpectrum(BitReader& bits, const ChannelSide& side, const Layout& layout, const ScalefactorBands& bands,
                    size_t end, Spectrum& out) {
    std::fill(std::begin(out.lines), std::end(out.lines), 0.0f);
    out.top = 0;
    out.nonzero = 0;
    int segment = 0;
    int left = layout.segments[0].lines;
    int dest = layout.segments[0].dest;
    auto store = [&](int value) {
        if (left == 0) {
            const Segment& next = layout.segments[++segment];
            left = next.lines;
            dest = next.dest;
        }
        if (value) {
            out.lines[dest] = Requantize(value, layout.segments[segment].quarterSteps);
            out.nonzero |= uint64_t{1} << segment;
            out.top = std::max(out.top, dest + 1);
        }
        dest += layout.segments[segment].step;
        --left;
    };

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
    int line = 0;
    for (; line < bigLines; line += 2) {
        const int region = line < region1 ? 0 : line < region2 ? 1 : 2;
        int pair[2];
        ReadPair(bits, side.table_select[region], pair);
        store(pair[0]);
        store(pair[1]);
    }
    // A quadruple that runs past the channel's bits is not part of its data.
    while (line <= Lines - 4 && BitsRead(bits) < end) {
        int quad[4];
        ReadQuadruple(bits, side.count1table_select, quad);
        if (BitsRead(bits) > end) break;
        for (const int value : quad) store(value);
        line += 4;
    }
    bits.position = end;
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
        const uint64_t nonzero = spectra[1].nonzero;
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

// The antialias butterflies between the subbands of long blocks; returns how many
// subbands may now be non-zero.
int Antialias(float* lines, const ChannelSide& side, int active) {
    const Tables& t = GetTables();
    const int boundaries = side.mixed() ? std::min(active, 1) : side.shortBlocks() ? 0 : std::min(active, Subbands - 1);
    for (int sb = 1; sb <= boundaries; ++sb) {
        float* upper = lines + sb * SubbandLines;
        for (int i = 0; i < 8; ++i) {
            const float below = upper[-1 - i];
            const float above = upper[i];
            upper[-1 - i] = below * t.cs[i] - above * t.ca[i];
            upper[i] = above * t.cs[i] + below * t.ca[i];
        }
    }
    return boundaries > 0 ? std::max(active, boundaries + 1) : active;
}

// out[i] = sum over k of in[k * stride] cos(pi / 2n (2i + 1 + n / 2)(2k + 1)), i < n.
void InverseMdct(const float* in, int stride, int n, const float* cosines, float* out) {
    for (int i = 0; i < n; ++i) {
        const float* row = cosines + i * (n / 2);
        float sum = 0.0f;
        for (int k = 0; k < n / 2; ++k) sum += in[k * stride] * row[k];
        out[i] = sum;
    }
}

// The hybrid filterbank of one channel: transforms the active subbands, overlaps them with
// the previous granule, and writes the 18 rows of 32 subband samples. Subbands above the
// active ones give out what their overlap holds; those above the kept ones are silent.
void Hybrid(const float* lines, const ChannelSide& side, int active, int kept, float overlap[32][18],
            float rows[18][32]) {
    const Tables& t = GetTables();
    const int transformed = std::min(active, kept);
    for (int sb = 0; sb < transformed; ++sb) {
        const float* in = lines + sb * SubbandLines;
        const int parity = sb & 1;
        float raw[36] = {};
        // A mixed block's two lowest subbands take the long transform with the normal window,
        // whatever the block type.
        const int blockType = side.window_switching_flag && side.mixed_block_flag && sb < 2 ? 0 : side.block_type;
        if (blockType == 2) {
            const float* window = t.windows[2][parity];
            for (int w = 0; w < 3; ++w) {
                float y[12];
                InverseMdct(in + w, 3, 12, t.shortCosines.data(), y);
                for (int k = 0; k < 12; ++k) raw[6 + 6 * w + k] += y[k] * window[k];
            }
        } else {
            const float* window = t.windows[blockType][parity];
            InverseMdct(in, 1, 36, t.longCosines.data(), raw);
            for (int k = 0; k < 36; ++k) raw[k] *= window[k];
        }
        for (int i = 0; i < SubbandLines; ++i) {
            rows[i][sb] = raw[i] + overlap[sb][i];
            overlap[sb][i] = raw[SubbandLines + i];
        }
    }
    for (int sb = transformed; sb < Subbands; ++sb) {
        for (int i = 0; i < SubbandLines; ++i) rows[i][sb] = sb < kept ? overlap[sb][i] : 0.0f;
        std::fill(std::begin(overlap[sb]), std::end(overlap[sb]), 0.0f);
    }
}

const ScalefactorBands& BandsOf(const FrameHeader& header) {
    const int group = header.version_code == 1 ? 0 : header.version_code == 0 ? 1 : 2;
    return ScalefactorBandTables[group][header.frequency_index];
}

}  // namespace

void ResetLayer3(Layer3State& state) { state = Layer3State{}; }

void ReadPair(BitReader& bits, int table_select, int values[2]) {
    const BigValueTable& table = BigValueTables[table_select];
    values[0] = values[1] = 0;
    if (!table.code) return;
    const int symbol = DecodeSymbol(bits, GetTables().bigValues[table_select]);
    values[0] = symbol / table.code->size;
    values[1] = symbol % table.code->size;
    for (int i = 0; i < 2; ++i) {
        if (values[i] == 15 && table.linbits) values[i] += ReadBits(bits, table.linbits);
        if (values[i] && ReadBits(bits, 1)) values[i] = -values[i];
    }
}

void ReadQuadruple(BitReader& bits, int count1table_select, int values[4]) {
    const int symbol = DecodeSymbol(bits, GetTables().count1[count1table_select]);
    for (int i = 0; i < 4; ++i) {
        values[i] = symbol >> (3 - i) & 1;
        if (values[i] && ReadBits(bits, 1)) values[i] = -1;
    }
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
            const ChannelSide& channel = side.granule[gr][ch];
            const int active = Antialias(spectra[ch].lines, channel, (spectra[ch].top + SubbandLines - 1) / SubbandLines);
            Hybrid(spectra[ch].lines, channel, active, kept, state.overlap[ch], rows[ch]);
        }
        if (routing.average && channels == 2) {
            for (int i = 0; i < SubbandLines; ++i) {
                for (int sb = 0; sb < kept; ++sb) rows[0][i][sb] = (rows[0][i][sb] + rows[1][i][sb]) * 0.5f;
            }
        }
        for (int ch = 0; ch < (routing.average ? 1 : channels); ++ch) {
            if (!routing.target[ch]) continue;
            for (int i = 0; i < SubbandLines; ++i) Synthesize(*routing.target[ch], rows[ch][i]);
        }
    }
}
