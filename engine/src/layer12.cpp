#include "layer12.h"

#include <algorithm>

namespace {

enum { FREQUENCY_INDEX_48000 = 1, FREQUENCY_INDEX_32000 = 2 };

float Requantize(const QuantClass& quant, uint32_t code) {
    const float fraction = static_cast<float>(code) / static_cast<float>(1 << (quant.sampleBits - 1)) - 1.0f;
    return quant.c * (fraction + quant.d);
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
    for (int ch = 0; ch < channels; ++ch) {
        if (routing.target[ch] != nullptr) Synthesize(*routing.target[ch], samples[ch]);
    }
}

// From the bound up, both channels share one allocation and one code per sample.
int JointBound(const FrameHeader& header, int subbands) {
    return header.mode == MODE_JOINT_STEREO ? header.mode_extension * 4 + 4 : subbands;
}

// Layer II codes three samples at a time, as one grouped code word or one by one.
void ReadTriple(BitReader& bits, const QuantClass& quant, uint32_t codes[3]) {
    if (quant.grouped) {
        uint32_t word = GetBits(bits, quant.codeBits);
        for (int i = 0; i < 3; ++i) {
            codes[i] = word % quant.steps;
            word /= quant.steps;
        }
    } else {
        for (int i = 0; i < 3; ++i) codes[i] = GetBits(bits, quant.codeBits);
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

    float scale[2][32] = {};
    for (int sb = 0; sb < 32; ++sb) {
        for (int ch = 0; ch < channels; ++ch) {
            if (allocation[ch][sb] == 0) continue;
            const uint32_t index = GetBits(bits, 6);
            if (index == 63) throw FrameFault{"scalefactor index 63"};
            scale[ch][sb] = ScaleFactors[index];
        }
    }

    for (int slot = 0; slot < 12; ++slot) {
        float samples[2][32] = {};
        for (int sb = 0; sb < 32; ++sb) {
            const int served = sb < bound ? 1 : channels;  // channels one code serves
            for (int ch = 0; ch < channels; ch += served) {
                if (allocation[ch][sb] == 0) continue;
                const QuantClass& quant = QuantClasses[Layer1Classes[allocation[ch][sb]]];
                const float value = Requantize(quant, GetBits(bits, quant.sampleBits));
                if (sb >= kept) continue;
                for (int to = ch; to < ch + served; ++to) samples[to][sb] = value * scale[to][sb];
            }
        }
        Emit(routing, channels, samples);
    }
}

const AllocationTable& ChooseAllocationTable(const FrameHeader& header) {
    if (header.lsf()) return AllocationTableLsf;
    int perChannel = header.bitrate_index;
    if (header.mode != MODE_SINGLE_CHANNEL) perChannel = perChannel == 4 ? 1 : perChannel - 4;
    if (perChannel <= 2) return header.frequency_index == FREQUENCY_INDEX_32000 ? AllocationTableD : AllocationTableC;
    if (perChannel <= 5 || header.frequency_index == FREQUENCY_INDEX_48000) return AllocationTableA;
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

    for (int granule = 0; granule < 12; ++granule) {
        const int third = granule / 4;
        float samples[3][2][32] = {};
        for (int sb = 0; sb < sblimit; ++sb) {
            const int served = sb < bound ? 1 : channels;  // channels one code serves
            for (int ch = 0; ch < channels; ch += served) {
                if (allocation[ch][sb] == QNone) continue;
                const QuantClass& quant = QuantClasses[allocation[ch][sb]];
                uint32_t codes[3];
                ReadTriple(bits, quant, codes);
                if (sb >= kept) continue;
                for (int i = 0; i < 3; ++i) {
                    const float value = Requantize(quant, codes[i]);
                    for (int to = ch; to < ch + served; ++to) samples[i][to][sb] = value * scale[to][sb][third];
                }
            }
        }
        for (int i = 0; i < 3; ++i) Emit(routing, channels, samples[i]);
    }
}
