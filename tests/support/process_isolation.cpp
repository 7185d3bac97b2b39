// Linked into every test program: each runs against its own settings store and its own
// device-use table, so runs never see each other's (or the user's) settings and cameras.
#include "support/scratch_store.h"
#include "support/test_environment.h"

namespace {

struct ProcessIsolation {
    ScratchSettings settings;
    ProcessIsolation() {
        set_test_environment("IMVELA_SETTINGS_ROOT", settings.root().c_str());
        set_test_environment("IMVELA_SHM_NAME", unique_test_name().c_str());
    }
};

ProcessIsolation isolation;

}  // namespace
