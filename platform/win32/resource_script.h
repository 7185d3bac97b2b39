/* What every resource script of the library reads first: the system's definitions of window
 * and control styles, and the identifiers the dialog code shares with the scripts. */
#ifndef IMVELA_PLATFORM_WIN32_RESOURCE_SCRIPT_H
#define IMVELA_PLATFORM_WIN32_RESOURCE_SCRIPT_H
#include <windows.h>
#include <commctrl.h>
#include "platform/dialog_resources.h"
#endif
