#pragma once
// One JSON object, built key by key and printed on one line: what --json prints.
#include <string>
#include <vector>

// "text" with quotes, backslashes and control characters escaped.
std::string json_string(const std::string& text);
// [a,b,c] of items that are JSON already.
std::string json_array(const std::vector<std::string>& items);

class JsonObject {
public:
    JsonObject& add(const std::string& key, long long value) { return add_json(key, std::to_string(value)); }
    JsonObject& add(const std::string& key, int value) { return add(key, static_cast<long long>(value)); }
    JsonObject& add(const std::string& key, long value) { return add(key, static_cast<long long>(value)); }
    JsonObject& add(const std::string& key, unsigned value) { return add(key, static_cast<long long>(value)); }
    // A number with `decimals` places after the point.
    JsonObject& add(const std::string& key, double value, int decimals);
    JsonObject& add(const std::string& key, bool value) { return add_json(key, value ? "true" : "false"); }
    JsonObject& add(const std::string& key, const std::string& value) { return add_json(key, json_string(value)); }
    JsonObject& add(const std::string& key, const char* value) { return add_json(key, json_string(value)); }
    JsonObject& add_null(const std::string& key) { return add_json(key, "null"); }
    // A value that is JSON already: a nested object or an array.
    JsonObject& add_json(const std::string& key, const std::string& json);
    std::string text() const { return "{" + members_ + "}"; }
    // Prints the object and a line end on standard output.
    void print() const;

private:
    std::string members_;
};
