#include <windows.h>

#include "support/test_clock.h"

uint32_t test_tick_count() { return GetTickCount(); }
