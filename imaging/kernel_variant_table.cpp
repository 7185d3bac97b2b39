// The kernels of the variant this compilation builds, as one table.
#include "imaging/kernel_variant.h"

#define IMVELA_VARIANT_TEXT(v) #v
#define IMVELA_VARIANT_NAME(v) IMVELA_VARIANT_TEXT(v)

namespace imvela::IMVELA_KERNEL_VARIANT {

#define IMVELA_VARIANT_ENTRY(k) k,
const KernelVariant kKernels = {IMVELA_VARIANT_NAME(IMVELA_KERNEL_VARIANT), IMVELA_VARIANT_KERNELS(IMVELA_VARIANT_ENTRY)};
#undef IMVELA_VARIANT_ENTRY

}  // namespace imvela::IMVELA_KERNEL_VARIANT
