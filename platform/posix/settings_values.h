#pragma once
// The text of a settings key's "values" file: one "Name = number" a line, '#' or ';'
// comments and blank lines allowed; numbers decimal (signed, or up to 4294967295) or
// hexadecimal with 0x. Lines that do not parse are skipped.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace imvela::platform {

using SettingsValueList = std::vector<std::pair<std::string, uint32_t>>;

// Appends the values of `text` in file order (a name may repeat; the last one counts).
void parse_settings_values(const std::string& text, SettingsValueList* values);

}  // namespace imvela::platform
