#pragma once
// The still types of Imvela_SaveImage by name and by file extension.
#include <cstdint>
#include <string>

struct StillType {
    int32_t type;           // Imvela_SaveImage's type, 0 to 6
    const char* name;       // "jpeg70"
    const char* file_name;  // the name `stills` gives it: "still_q70.jpg"
};

constexpr int32_t kStillTypeCount = 7;
const StillType& still_type(int32_t type);
// By name (bmp raw jpeg jpeg100 jpeg70 jpeg20 png tiff tif) or number 0 to 6; null when unknown.
const StillType* still_type_named(const std::string& name);
// By the file's extension (.bmp .raw .jpg .jpeg .png .tif .tiff, any case); null when unknown.
const StillType* still_type_of_file(const std::string& path);
