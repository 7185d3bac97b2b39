#pragma once
// The lookup tables of the gamma and contrast kernels. Built outside the per-processor kernel
// variants (they are not per-pixel work), and kept per thread: a camera whose settings do not
// change builds each table once, and no frame allocates.
#include <cstdint>

namespace imvela {

// The exponent of a gamma setting: 100 gives 1, 200 gives 11, 50 gives 0.5.
double gamma_exponent(int32_t value);

// Entry i = truncate(pow(i / divisor, gamma) * (size - 1)), limited to [0, size - 1].
// Valid until this thread asks for another gamma table.
const uint16_t* gamma_table(double gamma, uint32_t size, double divisor);

// The 8-bit gamma table of a setting (colour kernels limit the exponent to 0.001..99.999).
void gamma_table8(int32_t value, bool colour, uint8_t table[256]);

// The 8-bit contrast table of a setting.
void contrast_table8(int32_t value, uint8_t table[256]);

// The contrast table for 16-bit samples with `bits` significant bits (8..16): 2^bits entries.
// Valid until this thread asks for another 16-bit contrast table.
const uint16_t* contrast_table16(int32_t value, int32_t bits);

}  // namespace imvela

namespace imvela {

// Gamma then contrast on 8-bit samples as one table (both tables are exact, so is their
// composition): what AdjustGamma*8 followed by AdjustContrast*8 would give.
void gamma_contrast_table8(int32_t gamma, int32_t contrast, bool colour, uint8_t table[256]);

// The same for 16-bit samples with `bits` significant bits (8..16): 2^bits entries, samples at
// or above that taking the last. Valid until this thread asks for another such table.
const uint16_t* gamma_contrast_table16(int32_t gamma, int32_t contrast, int32_t bits);

// The table of a frame's gamma and contrast settings on 16-bit samples (2^bits entries): the
// fused table when both are away from neutral (gamma 100, contrast 0), the one that is away
// when only one is, nullptr when both are neutral. Valid until this thread asks for another
// table of the same kind.
const uint16_t* tone_table16(int32_t gamma, int32_t contrast, int32_t bits);

}  // namespace imvela
