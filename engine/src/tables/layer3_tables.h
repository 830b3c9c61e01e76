// The standards' layer III tables: scalefactor bands, scalefactor lengths, the
// preemphasis table, the MPEG-2 scalefactor partitions and the antialias coefficients.
#pragma once

namespace vortax {

// Scalefactor band boundaries in frequency lines: 23 long-block boundaries (22 bands) and
// 14 short-block boundaries (13 bands, in lines of one window).
struct ScalefactorBands {
    short long_bands[23];
    short short_bands[14];
};

// By [MPEG-1 0, MPEG-2 1, MPEG 2.5 2][frequency index].
extern const ScalefactorBands ScalefactorBandTables[3][3];

// slen1 and slen2 of an MPEG-1 scalefac_compress.
extern const int ScalefactorLengths[2][16];

// The preemphasis added to the long-block scalefactors when preflag is set.
extern const int Pretab[22];

// MPEG-2 scalefactor partitions: the number of scalefactors in each of the four
// partitions, by [partition table][long 0, short 1, mixed 2]. Tables 0 to 2 serve
// scalefac_compress below 400, below 500 and from 500 on; tables 3 to 5 the same three
// ranges of the intensity-stereo channel.
extern const int ScalefactorPartitions[6][3][4];

// The antialias butterflies' Ci.
extern const double AntialiasCoefficients[8];

}  // namespace vortax
