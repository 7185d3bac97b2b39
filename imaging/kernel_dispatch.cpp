// The catalogue's kernels forward to the newest variant this processor runs, chosen once.
#include "imaging/kernel_variant.h"

#include <atomic>

namespace imvela {

#ifdef IMVELA_X86_KERNEL_VARIANTS
namespace sse41 {
extern const KernelVariant kKernels;
}
namespace avx2 {
extern const KernelVariant kKernels;
}
#endif

namespace {

const KernelVariant* const kVariants[] = {
    &baseline::kKernels,
#ifdef IMVELA_X86_KERNEL_VARIANTS
    &sse41::kKernels,
    &avx2::kKernels,
#endif
};
constexpr int32_t kVariantCount = static_cast<int32_t>(sizeof kVariants / sizeof kVariants[0]);

bool processor_runs(int32_t index) {
#ifdef IMVELA_X86_KERNEL_VARIANTS
    __builtin_cpu_init();
    switch (index) {
        case 1: return __builtin_cpu_supports("ssse3") && __builtin_cpu_supports("sse4.1");
        case 2: return __builtin_cpu_supports("avx2");
        default: return index == 0;
    }
#else
    return index == 0;
#endif
}

}  // namespace

int32_t kernel_variant_count() { return kVariantCount; }
const KernelVariant& kernel_variant(int32_t index) {
    return *kVariants[index >= 0 && index < kVariantCount ? index : 0];
}
bool kernel_variant_supported(int32_t index) { return index >= 0 && index < kVariantCount && processor_runs(index); }

namespace {
// Chosen at load; the self-check moves it through the variants (all give the same bytes).
// Null until the first kernel call (constant-initialised, so a call during the load finds it).
std::atomic<const KernelVariant*> g_active{nullptr};
}  // namespace

const KernelVariant& active_kernel_variant() {
    const KernelVariant* active = g_active.load(std::memory_order_relaxed);
    if (!active) {
        active = kVariants[newest_kernel_variant()];
        g_active.store(active, std::memory_order_relaxed);
    }
    return *active;
}

bool use_kernel_variant(int32_t index) {
    if (!kernel_variant_supported(index)) return false;
    g_active.store(kVariants[index], std::memory_order_relaxed);
    return true;
}

int32_t newest_kernel_variant() {
    for (int32_t i = kVariantCount - 1; i > 0; --i)
        if (processor_runs(i)) return i;
    return 0;
}

int32_t active_kernel_variant_index() {
    const KernelVariant* active = &active_kernel_variant();
    for (int32_t i = 0; i < kVariantCount; ++i)
        if (kVariants[i] == active) return i;
    return 0;
}

#define IMVELA_VARIANT_FORWARD(k)                                                                           \
    IMVELA_PIXEL_KERNEL(k) {                                                                                \
        return active_kernel_variant().k(dst, src, rect, x, y, dstPixelBytes, srcPixelBytes, dstStride,     \
                                         srcStride, user, reserved);                                        \
    }
IMVELA_VARIANT_KERNELS(IMVELA_VARIANT_FORWARD)
#undef IMVELA_VARIANT_FORWARD

}  // namespace imvela
