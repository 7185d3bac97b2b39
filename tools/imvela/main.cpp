// imvela: command-line tool for the camera library.
#include <cstdio>
#include <cstring>

#include "ImvelaSdk.h"

namespace {

int usage() {
    std::printf(
        "usage: imvela [command]\n"
        "  version   print the library version\n"
        "  handle    open a camera handle, show its state and release it\n"
        "without a command: version, then handle\n");
    return 2;
}

int print_version() {
    const uint32_t v = static_cast<uint32_t>(Imvela_GetDllVersion());
    std::printf("library version %u.%u.%u.%u (%u)\n", v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF, v);
    return 0;
}

int exercise_handle() {
    const int32_t handle = Imvela_Initialize(nullptr);
    if (handle == 0) {
        std::printf("Imvela_Initialize failed\n");
        return 1;
    }
    std::printf("handle %d\n", handle);
    int32_t code;
    int errors = 0;
    while ((code = Imvela_GetLastError(handle)) != 0) {
        std::printf("  error %d recorded during initialisation\n", code);
        ++errors;
    }
    if (errors == 0) std::printf("  no error recorded\n");
    std::printf("  unsupported function (Imvela_Fps) returns %d, error %d posted\n", Imvela_Fps(handle), ERR_NOT_SUPPORTED);
    std::printf("release %s\n", Imvela_Release(handle) == 1 ? "ok" : "FAILED");
    std::printf("release again returns %d (handle no longer valid)\n", Imvela_Release(handle));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        print_version();
        return exercise_handle();
    }
    if (std::strcmp(argv[1], "version") == 0) return print_version();
    if (std::strcmp(argv[1], "handle") == 0) return exercise_handle();
    return usage();
}
