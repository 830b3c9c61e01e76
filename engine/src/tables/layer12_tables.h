// The tables of layers I and II: scalefactors, quantisation classes and the layer II
// bit allocation tables.
#pragma once

#include <cstdint>

namespace vortax {

// 2^(1 - i/3) for the 6-bit scalefactor index i. Index 63 is not a scalefactor of the
// standard; layer II lets it through, so the series goes on for it.
extern const float ScaleFactors[64];

// A quantisation class: the levels a sample has, how it is coded and how it comes back.
struct QuantClass {
    int steps;
    int codeBits;    // bits of one coded sample, or of a group of three
    int sampleBits;  // bits a single sample of the class would take
    bool grouped;    // three samples share one code word
    float c;         // requantised = c * (s + d), s the code read as a fraction in -1..1
    float d;
};

enum QuantIndex : int8_t {
    QNone = -1,
    Q3, Q5, Q7, Q9, Q15, Q31, Q63, Q127, Q255, Q511, Q1023, Q2047, Q4095, Q8191, Q16383,
    Q32767, Q65535,
};

extern const QuantClass QuantClasses[17];

// Layer I: allocation 1..14 means allocation + 1 bits a sample, 2^(allocation + 1) - 1
// steps; 0 is no sample and 15 is forbidden.
extern const QuantIndex Layer1Classes[15];

// What one subband of a layer II table allows: the width of its allocation field and the
// class for each allocation value (QNone for 0).
struct AllocationRow {
    int bits;
    QuantIndex classes[16];
};

struct AllocationTable {
    int sblimit;  // coded subbands
    const AllocationRow* rows[30];
};

// MPEG-1: A for 56 to 80 kbit/s a channel, and at 48 kHz up to 192; B for 96 to 192 at
// 44.1 and 32 kHz; C for 32 and 48 at 44.1 and 48 kHz; D for 32 and 48 at 32 kHz.
extern const AllocationTable AllocationTableA;
extern const AllocationTable AllocationTableB;
extern const AllocationTable AllocationTableC;
extern const AllocationTable AllocationTableD;
// MPEG-2 low sampling frequencies, every bit rate.
extern const AllocationTable AllocationTableLsf;

}  // namespace vortax
