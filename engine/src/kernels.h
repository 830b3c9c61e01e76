// The run-time choice between two builds of the decoder's hottest loops: the plain one,
// written so the compiler vectorises it for any processor, and the same source compiled
// once more for x86-64 processors with AVX2. Both give the same bits: the engine is built
// without fused multiply-adds.
#pragma once

#if (defined(__x86_64__) || defined(__i386__)) && !defined(VORTAX_PLAIN_KERNELS_ONLY)
#define VORTAX_AVX2_KERNELS 1
#define VORTAX_AVX2 gnu::target("avx2")
#endif

namespace vortax {

// True when the AVX2 builds run: the processor has AVX2 and they are not turned off.
bool Avx2Kernels();

// Turns the AVX2 builds off, or back on where the processor has them (tests compare both).
void UseAvx2Kernels(bool on);

}  // namespace vortax
