// The run-time choice between two builds of the decoder's hottest loops: the plain one,
// written so the compiler vectorises it for any processor, and the same source compiled
// once more for x86-64 processors with AVX2. Both give the same bits: the engine is built
// without fused multiply-adds.
#pragma once

// A kernel is built as NamePlain and, where AVX2 kernels are built, as NameAvx2 (marked
// [[VORTAX_AVX2]]); VORTAX_KERNEL(Name) is the one to call, VORTAX_KERNEL(Name, <args>) for
// a template.
#if (defined(__x86_64__) || defined(__i386__)) && !defined(VORTAX_PLAIN_KERNELS_ONLY)
#define VORTAX_AVX2_KERNELS 1
#define VORTAX_AVX2 gnu::target("avx2")
#define VORTAX_KERNEL(name, ...) (::vortax::Avx2Kernels() ? name##Avx2 __VA_ARGS__ : name##Plain __VA_ARGS__)
#else
#define VORTAX_KERNEL(name, ...) name##Plain __VA_ARGS__
#endif

namespace vortax {

// True when the AVX2 builds run: the processor has AVX2 and they are not turned off.
bool Avx2Kernels();

// Turns the AVX2 builds off, or back on where the processor has them (tests compare both).
void UseAvx2Kernels(bool on);

}  // namespace vortax
