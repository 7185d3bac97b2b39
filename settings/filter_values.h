#pragma once
// The filter-value identifiers 1 to 28 and the facts of each (settings/filter_value_list.inc):
// where its value lives, its range and default, and the key the settings store keeps it under.
#include <cstddef>
#include <iterator>
#include <cstdint>
#include <limits>

#include "driver/sensor_map.h"
#include "settings/setting_blocks.h"

namespace imvela {

// kFilter<Name> = identifier, from the list.
enum FilterValueId : int32_t {
#define IMVELA_FILTER_VALUE(name, identifier, ...) kFilter##name = identifier,
#define IMVELA_UNNAMED_FILTER_VALUE IMVELA_FILTER_VALUE
#include "settings/filter_value_list.inc"
#undef IMVELA_UNNAMED_FILTER_VALUE
#undef IMVELA_FILTER_VALUE
};

// The settings-store group a filter value is kept in.
enum class FilterValueGroup { kFilter, kGray, kGain, kNotStored };

struct FilterValueFacts {
    int32_t identifier;
    int position;  // in the image-processing block, or the analog block for group kGain
    int32_t minimum;
    int32_t maximum;
    int32_t default_value;  // kNoDefault: none of its own
    FilterValueGroup group;
    const char* store_key;  // null when not stored
    const char* tool_name;  // the imvela tool's name for it
};

namespace filter_value_list {
using Image = ImageProcessingBlock;
using Analog = AnalogBlock;
constexpr int32_t kAny = std::numeric_limits<int32_t>::max();
constexpr int32_t kAnyLow = std::numeric_limits<int32_t>::min();
constexpr int32_t kNoDefault = std::numeric_limits<int32_t>::min();

// Indexed by identifier - 1.
constexpr FilterValueFacts kFacts[] = {
#define IMVELA_FILTER_VALUE(name, identifier, kind, position, minimum, maximum, default_value, group, key, tool) \
    {identifier, position, minimum, maximum, default_value, FilterValueGroup::group, key, tool},
#define IMVELA_UNNAMED_FILTER_VALUE IMVELA_FILTER_VALUE
#include "settings/filter_value_list.inc"
#undef IMVELA_UNNAMED_FILTER_VALUE
#undef IMVELA_FILTER_VALUE
};
}  // namespace filter_value_list

using filter_value_list::kNoDefault;
constexpr int32_t kFilterValueCount = static_cast<int32_t>(std::size(filter_value_list::kFacts));

constexpr bool numbered_in_order() {
    for (int32_t i = 0; i < kFilterValueCount; ++i)
        if (filter_value_list::kFacts[i].identifier != i + 1) return false;
    return true;
}
static_assert(numbered_in_order(), "filter values are numbered 1, 2, 3 ... in list order");

// The facts of an identifier of the list (1 to kFilterValueCount).
constexpr const FilterValueFacts& filter_value_facts(FilterValueId identifier) {
    return filter_value_list::kFacts[identifier - 1];
}

// Calls visit(facts) for each filter value of a store group, in identifier order.
template <class Visit>
constexpr void for_each_filter_value_in(FilterValueGroup group, Visit&& visit) {
    for (const FilterValueFacts& facts : filter_value_list::kFacts)
        if (facts.group == group) visit(facts);
}

}  // namespace imvela
