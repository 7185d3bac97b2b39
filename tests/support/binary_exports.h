#pragma once
// Reads the exported names of a shared library file: the export directory of a PE DLL or
// the defined global dynamic symbols of an ELF object.
#include <cstdint>
#include <string>
#include <vector>

struct BinaryExports {
    bool ok = false;
    bool is_pe = false;
    std::string error;
    std::vector<std::string> names;         // exported names
    std::vector<uint64_t> addresses;        // entry point of each name (RVA or symbol value)
    std::vector<std::string> imported_dlls; // PE only: DLLs the library imports from
};

BinaryExports read_binary_exports(const std::string& path);

// The export list kept beside the sources: names for one platform (posix-only entries
// included or not), and for each alias line the name it shares an entry point with.
struct ExportList {
    std::vector<std::string> names;
    std::vector<std::pair<std::string, std::string>> aliases;
};
ExportList read_export_list(const std::string& path, bool posix);
