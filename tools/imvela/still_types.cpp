#include "still_types.h"

#include <algorithm>
#include <cctype>

namespace {

const StillType kTypes[kStillTypeCount] = {
    {0, "bmp", "still.bmp"},          {1, "raw", "still.raw"},        {2, "jpeg100", "still_q100.jpg"},
    {3, "jpeg70", "still_q70.jpg"},   {4, "jpeg20", "still_q20.jpg"}, {5, "png", "still.png"},
    {6, "tiff", "still.tif"},
};

// Other names of a type: the plain "jpeg" is the best quality.
struct Alias {
    const char* name;
    int32_t type;
};
const Alias kAliases[] = {{"jpeg", 2}, {"jpg", 2}, {"tif", 6}, {"0", 0}, {"1", 1}, {"2", 2},
                          {"3", 3},    {"4", 4},   {"5", 5},   {"6", 6}};

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

}  // namespace

const StillType& still_type(int32_t type) { return kTypes[type]; }

const StillType* still_type_named(const std::string& name) {
    const std::string wanted = lower(name);
    for (const StillType& t : kTypes)
        if (wanted == t.name) return &t;
    for (const Alias& a : kAliases)
        if (wanted == a.name) return &kTypes[a.type];
    return nullptr;
}

const StillType* still_type_of_file(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nullptr;
    const std::string extension = lower(path.substr(dot + 1));
    static const char* const kExtensions[] = {"bmp", "raw", "jpg", "jpeg", "png", "tif", "tiff"};
    for (const char* known : kExtensions)
        if (extension == known) return still_type_named(extension);
    return nullptr;
}
