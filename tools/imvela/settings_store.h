#pragma once
// A camera's keys in the settings store, read and written as the library keeps them
// (README.md, "Settings store"): the registry on Windows, "values" files on POSIX. The tool
// needs them for what no function of the library reaches: the stored video format and size
// list.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using StoredValues = std::vector<std::pair<std::string, int32_t>>;

// The values of `key` of camera `number` ("" for Camera_NN itself, "Size_00", "Gain"...);
// false when the key does not exist or cannot be read.
bool read_stored_key(int32_t number, const std::string& key, StoredValues* values);
// Writes these values into the key, made when missing, keeping its other values; false when
// they could not be stored.
bool write_stored_key(int32_t number, const std::string& key, const StoredValues& values);
// Removes the key with its values; true also when it did not exist.
bool remove_stored_key(int32_t number, const std::string& key);

// Value names compare without regard to case.
bool same_name(const std::string& a, const std::string& b);
// The value `name` of `values`; false when missing.
bool find_stored_value(const StoredValues& values, const std::string& name, int32_t* value);
