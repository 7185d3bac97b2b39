#include "output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

std::string output_file_problem(const std::string& path) {
    std::error_code error;
    const bool existed = std::filesystem::exists(path, error);
    // Opening for appending leaves an existing file as it is.
    std::FILE* file = std::fopen(path.c_str(), "ab");
    if (!file) return "cannot write " + path + ": " + std::strerror(errno);
    std::fclose(file);
    if (!existed) std::filesystem::remove(path, error);
    return "";
}
