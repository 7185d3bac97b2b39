#include "camera/error_history.h"

namespace imvela {

void ErrorHistory::push(int32_t code) {
    std::lock_guard<std::mutex> guard(lock_);
    for (int i = kDepth - 1; i > 0; --i) codes_[i] = codes_[i - 1];
    codes_[0] = code;
}

int32_t ErrorHistory::pop() {
    std::lock_guard<std::mutex> guard(lock_);
    const int32_t newest = codes_[0];
    for (int i = 0; i < kDepth - 1; ++i) codes_[i] = codes_[i + 1];
    codes_[kDepth - 1] = 0;
    return newest;
}

}  // namespace imvela
