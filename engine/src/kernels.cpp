#include "kernels.h"

#include <atomic>

namespace vortax {

namespace {

bool ProcessorHasAvx2() {
#ifdef VORTAX_AVX2_KERNELS
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

std::atomic<bool> avx2{ProcessorHasAvx2()};

}  // namespace

bool Avx2Kernels() { return avx2.load(std::memory_order_relaxed); }

void UseAvx2Kernels(bool on) { avx2.store(on && ProcessorHasAvx2(), std::memory_order_relaxed); }

}  // namespace vortax
