#include "json_text.h"

#include <cmath>
#include <cstdio>

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string json_array(const std::vector<std::string>& items) {
    std::string out = "[";
    for (const std::string& item : items) out += (out.size() > 1 ? "," : "") + item;
    return out + "]";
}

JsonObject& JsonObject::add(const std::string& key, double value, int decimals) {
    if (!std::isfinite(value)) return add_null(key);
    char number[64];
    std::snprintf(number, sizeof number, "%.*f", decimals, value);
    return add_json(key, number);
}

JsonObject& JsonObject::add_json(const std::string& key, const std::string& json) {
    members_ += (members_.empty() ? "" : ",") + json_string(key) + ":" + json;
    return *this;
}

void JsonObject::print() const {
    std::printf("%s\n", text().c_str());
    std::fflush(stdout);
}
