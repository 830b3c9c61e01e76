#include "layer12.h"

#include <algorithm>
#include <bit>

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

// A grouped code word's three samples, the first in the lowest digit of base Steps (a
// constant, so that the divisions become multiplications).
template <uint32_t Steps>
void Ungroup(uint32_t word, uint32_t codes[3]) {
    for (int i = 0; i < 3; ++i) {
        codes[i] = word % Steps;
        word /= Steps;
    }
}

// The bits of one triple: one grouped code word, or three codes.
int TripleBits(const QuantClass& quant) { return quant.grouped ? quant.codeBits : 3 * quant.codeBits; }

// A refill loads 56 bits or more, and its load sits in the chain from one code to the
// next: triples that fit share one.
constexpr int RefillBits = 56;

// Layer II codes three samples at a time, as one grouped code word or one by one (at most
// three times 16 bits), from bits already loaded.
void ReadTriple(BitCache& bits, const QuantClass& quant, uint32_t codes[3]) {
    const uint64_t word = bits.Bits();
    if (quant.grouped) {
        const auto group = static_cast<uint32_t>(word >> (64 - quant.codeBits));
        switch (quant.steps) {
            case 3: Ungroup<3>(group, codes); break;
            case 5: Ungroup<5>(group, codes); break;
            default: Ungroup<9>(group, codes); break;
        }
        bits.Skip(quant.codeBits);
    } else {
        for (int i = 0; i < 3; ++i) codes[i] = static_cast<uint32_t>((word << (i * quant.codeBits)) >> (64 - quant.codeBits));
        bits.Skip(3 * quant.codeBits);
    }
}

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
            scaling[ch][sb] = ScalingOf(QuantClasses[Layer1Classes[allocation[ch][sb]]], ScaleFactors[index]);
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

    // One scalefactor for each third of the frame; scfsi tells which of them are sent.
    float scale[2][32][3] = {};
    for (int sb = 0; sb < sblimit; ++sb) {
        for (int ch = 0; ch < channels; ++ch) {
            if (allocation[ch][sb] == QNone) continue;
            float* part = scale[ch][sb];
            switch (scfsi[ch][sb]) {
                case 0:
                    for (int i = 0; i < 3; ++i) part[i] = ScaleFactors[GetBits(bits, 6)];
                    break;
                case 1:
                    part[0] = part[1] = ScaleFactors[GetBits(bits, 6)];
                    part[2] = ScaleFactors[GetBits(bits, 6)];
                    break;
                case 2:
                    part[0] = part[1] = part[2] = ScaleFactors[GetBits(bits, 6)];
                    break;
                default:
                    part[0] = ScaleFactors[GetBits(bits, 6)];
                    part[1] = part[2] = ScaleFactors[GetBits(bits, 6)];
                    break;
            }
        }
    }

    // What each granule reads, in order: the allocated subbands and channels (from the
    // bound up, one code serves both channels).
    struct Coded {
        const QuantClass* quant;
        int sb;
        int ch;
        int served;
        bool refill;  // the bits are loaded before this one's triple
    };
    Coded coded[64];
    int count = 0;
    int loaded = RefillBits;  // the bits the triples since the last refill take
    // The scaling of each third, channel and subband: 0 where nothing is coded or kept, so
    // that those samples stay 0.
    alignas(32) float factor[3][2][32] = {};
    alignas(32) float offset[3][2][32] = {};
    for (int sb = 0; sb < sblimit; ++sb) {
        const int served = sb < bound ? 1 : channels;
        for (int ch = 0; ch < channels; ch += served) {
            if (allocation[ch][sb] == QNone) continue;
            const QuantClass& quant = QuantClasses[allocation[ch][sb]];
            const int bits = TripleBits(quant);
            const bool refill = loaded + bits > RefillBits;
            loaded = (refill ? 0 : loaded) + bits;
            coded[count++] = {&quant, sb, ch, served, refill};
            if (sb >= kept) continue;
            for (int to = ch; to < ch + served; ++to) {
                for (int third = 0; third < 3; ++third) {
                    const Scaling scaling = ScalingOf(quant, scale[to][sb][third]);
                    factor[third][to][sb] = scaling.factor;
                    offset[third][to][sb] = scaling.offset;
                }
            }
        }
    }

    // A granule's codes go to their places first; then all of its samples are requantised
    // and scaled in one loop over whole vectors.
    alignas(32) int32_t codes[3][2][32] = {};
    alignas(32) float samples[3][2][32];
    BitCache cache(bits);
    for (int granule = 0; granule < 12; ++granule) {
        for (int c = 0; c < count; ++c) {
            const Coded& code = coded[c];
            uint32_t triple[3];
            if (code.refill) cache.Refill();
            ReadTriple(cache, *code.quant, triple);
            for (int to = code.ch; to < code.ch + code.served; ++to) {
                for (int i = 0; i < 3; ++i) codes[i][to][code.sb] = static_cast<int32_t>(triple[i]);
            }
        }
        const int third = granule / 4;
        for (int i = 0; i < 3; ++i) {
            for (int ch = 0; ch < channels; ++ch) {
                for (int sb = 0; sb < 32; ++sb) {
                    samples[i][ch][sb] =
                        static_cast<float>(codes[i][ch][sb]) * factor[third][ch][sb] + offset[third][ch][sb];
                }
            }
        }
        for (int i = 0; i < 3; ++i) Emit(routing, channels, samples[i]);
    }
    bits.position = cache.Position();
}

}  // namespace vortax
