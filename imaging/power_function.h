#pragma once
// x raised to y, rounded correctly to double, with the same result on every platform: the
// C libraries of the two builds may round pow() differently, and the gamma tables truncate
// pow() results, so a one-unit difference would change a table entry.

namespace imvela {

// For x >= 0 and finite y. pow(x, 0) = 1, pow(0, y > 0) = 0, pow(0, y < 0) = +infinity.
double correctly_rounded_pow(double x, double y);

}  // namespace imvela
