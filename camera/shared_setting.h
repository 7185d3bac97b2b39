#pragma once
// Settings that the application's threads change while a worker reads them without a lock
// (filter values, analog values, capture window): plain aligned 32-bit fields, accessed
// with relaxed atomic operations so neither side ever sees a torn value.
#include <cstdint>

namespace imvela {

inline int32_t load_relaxed(const int32_t& field) { return __atomic_load_n(&field, __ATOMIC_RELAXED); }

inline void store_relaxed(int32_t& field, int32_t value) { __atomic_store_n(&field, value, __ATOMIC_RELAXED); }

// Copies a block of settings field by field with relaxed accesses.
template <class Block>
void copy_relaxed(Block& to, const Block& from) {
    for (int i = 0; i < Block::kCount; ++i) store_relaxed(to.values[i], load_relaxed(from.values[i]));
}

}  // namespace imvela
