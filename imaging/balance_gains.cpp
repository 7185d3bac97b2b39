// White-balance gains from the colour sums of a raw frame: red and blue gains (percent) that
// bring the mean red and the mean blue to the mean green.
#include "imaging/kernel_catalogue.h"
#include "imaging/kernel_support.h"

namespace imvela {

bool balance_gains(const BayerSumsBlock& sums, BalanceBlock* block) {
    // A frame without samples of one colour, or with one colour entirely black, gives nothing
    // to divide by.
    if (!block || sums.green == 0 || sums.blue == 0 || sums.red == 0) return false;
    const double aG = static_cast<double>(sums.green) / static_cast<double>(sums.greenCount);
    const double aB = static_cast<double>(sums.blue) / static_cast<double>(sums.blueCount);
    const double aR = static_cast<double>(sums.red) / static_cast<double>(sums.redCount);
    const double m = (aG + aB) + aR;
    block->blueGain = kernel::truncate_saturated(((m / aB) / 3 * 100) / ((m / aG) / 3));
    block->redGain = kernel::truncate_saturated(((m / aR) / 3 * 100) / ((m / aG) / 3));
    block->greenGain = 100;
    return true;
}

}  // namespace imvela
