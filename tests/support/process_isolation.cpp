// Linked into every test program: each runs against its own settings store and its own
// device-use table, so runs never see each other's (or the user's) settings and cameras,
// and leaves neither behind.
#include "support/scratch_store.h"
#include "support/test_environment.h"

namespace {

struct ProcessIsolation {
    ScratchSettings settings;
    std::string table = unique_test_name();
    ProcessIsolation() {
        set_test_environment("IMVELA_SETTINGS_ROOT", settings.root().c_str());
        set_test_environment("IMVELA_SHM_NAME", table.c_str());
    }
    ~ProcessIsolation() { remove_test_shared_memory(table); }
};

ProcessIsolation isolation;

}  // namespace
