#include "camera/filter_value_table.h"

#include <limits>

#include "settings/setting_blocks.h"
#include "driver/sensor_map.h"

namespace imvela {

namespace {

using Image = ImageProcessingBlock;
using Analog = AnalogBlock;
using K = FilterValueKind;
constexpr int32_t kAny = std::numeric_limits<int32_t>::max();
constexpr int32_t kAnyLow = std::numeric_limits<int32_t>::min();

// Indexed by identifier - 1.
constexpr FilterValueRule kRules[] = {
#define IMVELA_FILTER_VALUE(name, identifier, kind, position, minimum, maximum) {K::kind, position, minimum, maximum},
#define IMVELA_UNNAMED_FILTER_VALUE IMVELA_FILTER_VALUE
#include "camera/filter_value_list.inc"
#undef IMVELA_UNNAMED_FILTER_VALUE
#undef IMVELA_FILTER_VALUE
};
constexpr int32_t kRuleCount = static_cast<int32_t>(sizeof kRules / sizeof kRules[0]);

// The list numbers its identifiers 1, 2, 3 ... in order.
constexpr int32_t kIdentifiers[] = {
#define IMVELA_FILTER_VALUE(name, identifier, ...) identifier,
#define IMVELA_UNNAMED_FILTER_VALUE IMVELA_FILTER_VALUE
#include "camera/filter_value_list.inc"
#undef IMVELA_UNNAMED_FILTER_VALUE
#undef IMVELA_FILTER_VALUE
};
constexpr bool numbered_in_order() {
    for (int32_t i = 0; i < kRuleCount; ++i)
        if (kIdentifiers[i] != i + 1) return false;
    return true;
}
static_assert(numbered_in_order(), "filter values are numbered 1, 2, 3 ... in list order");

}  // namespace

const FilterValueRule* filter_value_rule(int32_t identifier) {
    if (identifier < 1 || identifier > kRuleCount) return nullptr;
    return &kRules[identifier - 1];
}

}  // namespace imvela
