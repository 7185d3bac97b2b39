/* Compiled as strict C99: the public header must be usable from C. */
#include "ImvelaSdk.h"

int imvela_header_c99_check(void);
int imvela_header_c99_check(void) {
    ImvelaFrameRecord record;
    ImvelaCameraInfo info;
    record.size = (int32_t)sizeof record;
    info.size = (int32_t)sizeof info;
    return record.size + info.size + Imvela_GetDllVersion();
}
