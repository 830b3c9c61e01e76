#include "tables/layer12_tables.h"

namespace vortax {

const float ScaleFactors[64] = {
    2.00000000000000, 1.58740105196820, 1.25992104989487, 1.00000000000000,
    0.79370052598410, 0.62996052494744, 0.50000000000000, 0.39685026299205,
    0.31498026247372, 0.25000000000000, 0.19842513149602, 0.15749013123686,
    0.12500000000000, 0.09921256574801, 0.07874506561843, 0.06250000000000,
    0.04960628287401, 0.03937253280921, 0.03125000000000, 0.02480314143700,
    0.01968626640461, 0.01562500000000, 0.01240157071850, 0.00984313320230,
    0.00781250000000, 0.00620078535925, 0.00492156660115, 0.00390625000000,
    0.00310039267963, 0.00246078330058, 0.00195312500000, 0.00155019633981,
    0.00123039165029, 0.00097656250000, 0.00077509816991, 0.00061519582514,
    0.00048828125000, 0.00038754908495, 0.00030759791257, 0.00024414062500,
    0.00019377454248, 0.00015379895629, 0.00012207031250, 0.00009688727124,
    0.00007689947814, 0.00006103515625, 0.00004844363562, 0.00003844973907,
    0.00003051757812, 0.00002422181781, 0.00001922486954, 0.00001525878906,
    0.00001211090890, 0.00000961243477, 0.00000762939453, 0.00000605545445,
    0.00000480621738, 0.00000381469727, 0.00000302772723, 0.00000240310869,
    0.00000190734863, 0.00000151386361, 0.00000120155435, 0.00000095367432,
};

// Steps, code bits, sample bits, grouped, C, D.
const QuantClass QuantClasses[17] = {
    {3, 5, 2, true, 1.33333333333f, 0.50000000000f},
    {5, 7, 3, true, 1.60000000000f, 0.50000000000f},
    {7, 3, 3, false, 1.14285714286f, 0.25000000000f},
    {9, 10, 4, true, 1.77777777777f, 0.50000000000f},
    {15, 4, 4, false, 1.06666666666f, 0.12500000000f},
    {31, 5, 5, false, 1.03225806452f, 0.06250000000f},
    {63, 6, 6, false, 1.01587301587f, 0.03125000000f},
    {127, 7, 7, false, 1.00787401575f, 0.01562500000f},
    {255, 8, 8, false, 1.00392156863f, 0.00781250000f},
    {511, 9, 9, false, 1.00195694716f, 0.00390625000f},
    {1023, 10, 10, false, 1.00097751711f, 0.00195312500f},
    {2047, 11, 11, false, 1.00048851979f, 0.00097656250f},
    {4095, 12, 12, false, 1.00024420024f, 0.00048828125f},
    {8191, 13, 13, false, 1.00012208522f, 0.00024414063f},
    {16383, 14, 14, false, 1.00006103888f, 0.00012207031f},
    {32767, 15, 15, false, 1.00003051851f, 0.00006103516f},
    {65535, 16, 16, false, 1.00001525902f, 0.00003051758f},
};

const QuantIndex Layer1Classes[15] = {
    QNone, Q3, Q7, Q15, Q31, Q63, Q127, Q255, Q511, Q1023, Q2047, Q4095, Q8191, Q16383, Q32767,
};

namespace {

// The rows of the MPEG-1 tables A and B.
const AllocationRow RowA0 = {4, {QNone, Q3, Q7, Q15, Q31, Q63, Q127, Q255, Q511, Q1023, Q2047, Q4095, Q8191, Q16383, Q32767, Q65535}};
const AllocationRow RowA1 = {4, {QNone, Q3, Q5, Q7, Q9, Q15, Q31, Q63, Q127, Q255, Q511, Q1023, Q2047, Q4095, Q8191, Q65535}};
const AllocationRow RowA2 = {3, {QNone, Q3, Q5, Q7, Q9, Q15, Q31, Q65535}};
const AllocationRow RowA3 = {2, {QNone, Q3, Q5, Q65535}};

// Tables C and D; the low-sampling-frequency table has the second one too.
const AllocationRow RowC0 = {4, {QNone, Q3, Q5, Q9, Q15, Q31, Q63, Q127, Q255, Q511, Q1023, Q2047, Q4095, Q8191, Q16383, Q32767}};
const AllocationRow RowC1 = {3, {QNone, Q3, Q5, Q9, Q15, Q31, Q63, Q127}};

// The low-sampling-frequency table.
const AllocationRow RowL0 = {4, {QNone, Q3, Q5, Q7, Q9, Q15, Q31, Q63, Q127, Q255, Q511, Q1023, Q2047, Q4095, Q8191, Q16383}};
const AllocationRow RowL1 = {2, {QNone, Q3, Q5, Q9}};

}  // namespace

const AllocationTable AllocationTableA = {
    27,
    {&RowA0, &RowA0, &RowA0,
     &RowA1, &RowA1, &RowA1, &RowA1, &RowA1, &RowA1, &RowA1, &RowA1,
     &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2,
     &RowA3, &RowA3, &RowA3, &RowA3},
};

const AllocationTable AllocationTableB = {
    30,
    {&RowA0, &RowA0, &RowA0,
     &RowA1, &RowA1, &RowA1, &RowA1, &RowA1, &RowA1, &RowA1, &RowA1,
     &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2, &RowA2,
     &RowA3, &RowA3, &RowA3, &RowA3, &RowA3, &RowA3, &RowA3},
};

const AllocationTable AllocationTableC = {
    8,
    {&RowC0, &RowC0, &RowC1, &RowC1, &RowC1, &RowC1, &RowC1, &RowC1},
};

const AllocationTable AllocationTableD = {
    12,
    {&RowC0, &RowC0, &RowC1, &RowC1, &RowC1, &RowC1, &RowC1, &RowC1, &RowC1, &RowC1, &RowC1, &RowC1},
};

const AllocationTable AllocationTableLsf = {
    30,
    {&RowL0, &RowL0, &RowL0, &RowL0,
     &RowC1, &RowC1, &RowC1, &RowC1, &RowC1, &RowC1, &RowC1,
     &RowL1, &RowL1, &RowL1, &RowL1, &RowL1, &RowL1, &RowL1, &RowL1, &RowL1, &RowL1,
     &RowL1, &RowL1, &RowL1, &RowL1, &RowL1, &RowL1, &RowL1, &RowL1, &RowL1},
};

}  // namespace vortax
