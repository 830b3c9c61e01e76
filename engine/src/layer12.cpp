#include "layer12.h"

#include <algorithm>
#include <array>
#include <bit>

#include "kernels.h"

namespace vortax {

namespace {

enum { FREQUENCY_INDEX_48000 = 1, FREQUENCY_INDEX_32000 = 2 };

// A code requantised and scaled, scale x c x (code / 2^(sampleBits - 1) - 1 + d), taken as
// code x factor + offset: one multiplication and one addition a sample, with the rest
// worked out once a frame (in double, so the two floats are as exact as can be).
struct Scaling {
    float factor = 0.0f;
    float offset = 0.0f;
};

Scaling ScalingOf(const QuantClass& quant, float scale) {
    // 2^(1 - sampleBits), built as a float.
    const double unit = std::bit_cast<float>(static_cast<uint32_t>(127 + 1 - quant.sampleBits) << 23);
    const double gain = static_cast<double>(scale) * quant.c;
    return {static_cast<float>(gain * unit), static_cast<float>(gain * (quant.d - 1.0))};
}

// The scaling of every class and scalefactor index, worked out once: a frame takes up to
// 192 of them.
const auto Scalings = [] {
    std::array<std::array<Scaling, std::size(ScaleFactors)>, std::size(QuantClasses)> scalings;
    for (size_t quant = 0; quant < std::size(QuantClasses); ++quant) {
        for (size_t index = 0; index < std::size(ScaleFactors); ++index) {
            scalings[quant][index] = ScalingOf(QuantClasses[quant], ScaleFactors[index]);
        }
    }
    return scalings;
}();

// One slot's subband samples to every routed channel; with `average`, the mean of both
// channels to the first target.
void Emit(const Routing& routing, int channels, const float (*samples)[32]) {
    if (channels == 2 && routing.average) {
        float mix[32];
        for (int sb = 0; sb < 32; ++sb) mix[sb] = (samples[0][sb] + samples[1][sb]) * 0.5f;
        if (routing.target[0] != nullptr) Synthesize(*routing.target[0], mix);
        return;
    }
    if (channels == 2 && routing.target[0] != nullptr && routing.target[1] != nullptr) {
        SynthesizePair(*routing.target[0], *routing.target[1], samples[0], samples[1]);
        return;
    }
    for (int ch = 0; ch < channels; ++ch) {
        if (routing.target[ch] != nullptr) Synthesize(*routing.target[ch], samples[ch]);
    }
}

// From the bound up, both channels share one allocation and one code per sample.
int JointBound(const FrameHeader& header, int subbands) {
    return header.mode == MODE_JOINT_STEREO ? header.mode_extension * 4 + 4 : subbands;
}

// How a triple's bits, read as one number, split into its three codes: as digits of base
// `radix`, the first code the lowest digit of a grouped code word and the highest of three
// separate codes. A digit is taken by multiplying by `multiplier` and shifting right by
// `shift`, exact for every number the triple's bits can hold, so that all classes take the
// same instructions.
struct Digits {
    uint32_t radix;
    uint32_t multiplier;
    int shift;
    int width;  // bits of the triple
    int first;  // the digit the first code is: 0 for the lowest, 2 for the highest
};

Digits DigitsOf(const QuantClass& quant) {
    if (!quant.grouped) return {1u << quant.codeBits, 1, quant.codeBits, 3 * quant.codeBits, 2};
    // ceil(2^16 / steps) divides the grouped words exactly (at most 10 bits).
    constexpr int Shift = 16;
    const auto steps = static_cast<uint32_t>(quant.steps);
    return {steps, ((1u << Shift) + steps - 1) / steps, Shift, quant.codeBits, 0};
}

// What each granule of a layer II frame reads, in order: the allocated subbands and
// channels (from the bound up, one code serves both channels).
struct Coded {
    Digits digits;
    int sb;
    int ch;
    int last;    // the last channel it serves
    int offset;  // where its triple starts, in bits from the granule's start
};

struct Plan {
    Coded coded[64];
    int count = 0;
    int granuleBits = 0;
    // The scaling of each third, channel and subband: 0 where nothing is coded or kept, so
    // that those samples stay 0.
    alignas(32) float factor[3][2][32] = {};
    alignas(32) float offset[3][2][32] = {};
};

// A frame's samples: twelve granules of three slots, each of two channels' 32 subbands.
using FrameSamples = float[12][3][2][32];

// All of a layer II frame's samples. Each coded subband's triples are read for the twelve
// granules in a row, from places known ahead, so that no read waits for the one before it
// and the subband's reading stays in registers; then all the codes are requantised and
// scaled in one loop over whole vectors.
[[gnu::always_inline]] inline void ReadFrame(const BitReader& frame, const Plan& plan, int channels, FrameSamples& samples) {
    const BitReader bits = frame;
    const auto granuleBits = static_cast<size_t>(plan.granuleBits);
    alignas(32) int32_t codes[12][3][2][32] = {};
    constexpr int Granule = 3 * 2 * 32;  // from one granule's codes to the next one's
    for (int c = 0; c < plan.count; ++c) {
        const Coded& code = plan.coded[c];
        const Digits digits = code.digits;
        int32_t* const low = &codes[0][digits.first][code.ch][code.sb];
        int32_t* const middle = &codes[0][1][code.ch][code.sb];
        int32_t* const high = &codes[0][2 - digits.first][code.ch][code.sb];
        const int other = (code.last - code.ch) * 32;  // to the second channel it serves
        size_t position = bits.position + static_cast<size_t>(code.offset);
        for (int at = 0; at < 12 * Granule; at += Granule, position += granuleBits) {
            const uint64_t number = BitsAt(bits, position) >> (64 - digits.width);
            const uint64_t upper = (number * digits.multiplier) >> digits.shift;
            const uint64_t top = (upper * digits.multiplier) >> digits.shift;
            low[at] = low[at + other] = static_cast<int32_t>(number - upper * digits.radix);
            middle[at] = middle[at + other] = static_cast<int32_t>(upper - top * digits.radix);
            high[at] = high[at + other] = static_cast<int32_t>(top);
        }
    }
    for (int granule = 0; granule < 12; ++granule) {
        const int third = granule / 4;
        for (int i = 0; i < 3; ++i) {
            for (int ch = 0; ch < channels; ++ch) {
                for (int sb = 0; sb < 32; ++sb) {
                    samples[granule][i][ch][sb] = static_cast<float>(codes[granule][i][ch][sb]) *
                                                      plan.factor[third][ch][sb] +
                                                  plan.offset[third][ch][sb];
                }
            }
        }
    }
}

void ReadFramePlain(const BitReader& bits, const Plan& plan, int channels, FrameSamples& samples) {
    ReadFrame(bits, plan, channels, samples);
}

#ifdef VORTAX_AVX2_KERNELS
[[VORTAX_AVX2]] void ReadFrameAvx2(const BitReader& bits, const Plan& plan, int channels, FrameSamples& samples) {
    ReadFrame(bits, plan, channels, samples);
}
#endif

}  // namespace

void DecodeLayer1(BitReader& bits, const FrameHeader& header, const Routing& routing) {
    const int channels = header.channels();
    const int bound = JointBound(header, 32);
    // Subbands above what the reduced rate carries are read past, not requantised.
    const int kept = 32 >> routing.reduction;

    int allocation[2][32] = {};
    for (int sb = 0; sb < 32; ++sb) {
        if (sb < bound) {
            for (int ch = 0; ch < channels; ++ch) allocation[ch][sb] = static_cast<int>(GetBits(bits, 4));
        } else {
            allocation[0][sb] = allocation[1][sb] = static_cast<int>(GetBits(bits, 4));
        }
        if (allocation[0][sb] == 15 || allocation[1][sb] == 15) throw FrameFault{"bit allocation 15"};
    }

    Scaling scaling[2][32] = {};
    for (int sb = 0; sb < 32; ++sb) {
        for (int ch = 0; ch < channels; ++ch) {
            if (allocation[ch][sb] == 0) continue;
            const uint32_t index = GetBits(bits, 6);
            if (index == 63) throw FrameFault{"scalefactor index 63"};
            scaling[ch][sb] = Scalings[Layer1Classes[allocation[ch][sb]]][index];
        }
    }

    // The subbands without allocation stay 0 through the frame; the others are written in
    // every slot.
    float samples[2][32] = {};
    for (int slot = 0; slot < 12; ++slot) {
        for (int sb = 0; sb < 32; ++sb) {
            const int served = sb < bound ? 1 : channels;  // channels one code serves
            for (int ch = 0; ch < channels; ch += served) {
                if (allocation[ch][sb] == 0) continue;
                const QuantClass& quant = QuantClasses[Layer1Classes[allocation[ch][sb]]];
                const auto code = static_cast<float>(GetBits(bits, quant.sampleBits));
                if (sb >= kept) continue;
                for (int to = ch; to < ch + served; ++to) {
                    samples[to][sb] = code * scaling[to][sb].factor + scaling[to][sb].offset;
                }
            }
        }
        Emit(routing, channels, samples);
    }
}

const AllocationTable& ChooseAllocationTable(const FrameHeader& header) {
    if (header.lsf()) return AllocationTableLsf;
    // By the bit rate of one channel, so that a free-format frame (whose rate comes from its
    // length, not from a table index) finds its table too.
    const int perChannel = header.bitrate / header.channels();
    if (perChannel <= 48) return header.frequency_index == FREQUENCY_INDEX_32000 ? AllocationTableD : AllocationTableC;
    if (perChannel <= 80 || header.frequency_index == FREQUENCY_INDEX_48000) return AllocationTableA;
    return AllocationTableB;
}

void DecodeLayer2(BitReader& bits, const FrameHeader& header, const Routing& routing) {
    const AllocationTable& table = ChooseAllocationTable(header);
    const int channels = header.channels();
    const int sblimit = table.sblimit;
    const int bound = JointBound(header, sblimit);
    if (bound > sblimit) throw FrameFault{"joint stereo bound above the coded subbands"};
    const int kept = std::min(sblimit, 32 >> routing.reduction);

    QuantIndex allocation[2][32];
    std::fill(&allocation[0][0], &allocation[0][0] + 64, QNone);
    for (int sb = 0; sb < sblimit; ++sb) {
        const AllocationRow& row = *table.rows[sb];
        if (sb < bound) {
            for (int ch = 0; ch < channels; ++ch) allocation[ch][sb] = row.classes[GetBits(bits, row.bits)];
        } else {
            allocation[0][sb] = allocation[1][sb] = row.classes[GetBits(bits, row.bits)];
        }
    }

    uint32_t scfsi[2][32] = {};
    for (int sb = 0; sb < sblimit; ++sb) {
        for (int ch = 0; ch < channels; ++ch) {
            if (allocation[ch][sb] != QNone) scfsi[ch][sb] = GetBits(bits, 2);
        }
    }

    // One scalefactor index for each third of the frame; scfsi tells which of them are sent.
    uint32_t scale[2][32][3] = {};
    for (int sb = 0; sb < sblimit; ++sb) {
        for (int ch = 0; ch < channels; ++ch) {
            if (allocation[ch][sb] == QNone) continue;
            uint32_t* part = scale[ch][sb];
            switch (scfsi[ch][sb]) {
                case 0:
                    for (int i = 0; i < 3; ++i) part[i] = GetBits(bits, 6);
                    break;
                case 1:
                    part[0] = part[1] = GetBits(bits, 6);
                    part[2] = GetBits(bits, 6);
                    break;
                case 2:
                    part[0] = part[1] = part[2] = GetBits(bits, 6);
                    break;
                default:
                    part[0] = GetBits(bits, 6);
                    part[1] = part[2] = GetBits(bits, 6);
                    break;
            }
        }
    }

    Plan plan;
    for (int sb = 0; sb < sblimit; ++sb) {
        const int served = sb < bound ? 1 : channels;
        for (int ch = 0; ch < channels; ch += served) {
            if (allocation[ch][sb] == QNone) continue;
            const QuantIndex quant = allocation[ch][sb];
            plan.coded[plan.count] = {DigitsOf(QuantClasses[quant]), sb, ch, ch + served - 1, plan.granuleBits};
            plan.granuleBits += plan.coded[plan.count++].digits.width;
            if (sb >= kept) continue;
            for (int to = ch; to < ch + served; ++to) {
                for (int third = 0; third < 3; ++third) {
                    const Scaling scaling = Scalings[quant][scale[to][sb][third]];
                    plan.factor[third][to][sb] = scaling.factor;
                    plan.offset[third][to][sb] = scaling.offset;
                }
            }
        }
    }

    alignas(32) FrameSamples samples;
    VORTAX_KERNEL(ReadFrame)(bits, plan, channels, samples);
    for (auto& granule : samples) {
        for (auto& slot : granule) Emit(routing, channels, slot);
    }
    bits.position += static_cast<size_t>(12 * plan.granuleBits);
}

}  // namespace vortax
