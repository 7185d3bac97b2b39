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
#define IMVELA_FILTER_VALUE(name, identifier, kind, position, minimum, maximum, ...) \
    {K::kind, position, minimum, maximum},
#define IMVELA_UNNAMED_FILTER_VALUE IMVELA_FILTER_VALUE
#include "settings/filter_value_list.inc"
#undef IMVELA_UNNAMED_FILTER_VALUE
#undef IMVELA_FILTER_VALUE
};
constexpr int32_t kRuleCount = static_cast<int32_t>(sizeof kRules / sizeof kRules[0]);
static_assert(kRuleCount == kFilterValueCount, "one rule per filter value");

}  // namespace

const FilterValueRule* filter_value_rule(int32_t identifier) {
    if (identifier < 1 || identifier > kRuleCount) return nullptr;
    return &kRules[identifier - 1];
}

}  // namespace imvela
