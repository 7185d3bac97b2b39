// Exports of the filter values: the identifier pair and the named setters and getters, each
// of which is the pair with a fixed identifier (from the list of filter values). Each named
// export must be declared in the public header as written here (checked as it is compiled);
// configuring checks that api/exports.txt lists every one (cmake/exports.cmake).
#include <type_traits>

#include "ImvelaSdk.h"
#include "api/handle_registry.h"
#include "camera/filter_value_table.h"
#include "camera/imvela.h"

using imvela::CImvela;
using imvela::with_camera;

// The signatures of a named setter and getter.
using NamedSetter = int32_t(IMVELA_CALL*)(int32_t, int32_t);
using NamedGetter = int32_t(IMVELA_CALL*)(int32_t, int32_t*);

extern "C" {

IMVELA_API int32_t IMVELA_CALL Imvela_SetFilterValue(int32_t handle, int32_t identifier, int32_t value) {
    return with_camera(handle, 0, [&](CImvela& c) { return c.set_filter_value(identifier, value); });
}

IMVELA_API int32_t IMVELA_CALL Imvela_GetFilterValue(int32_t handle, int32_t identifier, int32_t* ok) {
    if (ok) *ok = 0;  // also for an unknown handle
    return with_camera(handle, 0, [&](CImvela& c) { return c.get_filter_value(identifier, ok); });
}

#define IMVELA_NAMED_FILTER_VALUE(Name, identifier)                                                 \
    static_assert(std::is_same<decltype(&Imvela_Set##Name), NamedSetter>::value &&                 \
                      std::is_same<decltype(&Imvela_Get##Name), NamedGetter>::value,               \
                  "the public header declares Imvela_Set" #Name " and Imvela_Get" #Name);          \
    IMVELA_API int32_t IMVELA_CALL Imvela_Set##Name(int32_t handle, int32_t value) {               \
        return Imvela_SetFilterValue(handle, imvela::identifier, value);                           \
    }                                                                                              \
    IMVELA_API int32_t IMVELA_CALL Imvela_Get##Name(int32_t handle, int32_t* ok) {                 \
        return Imvela_GetFilterValue(handle, imvela::identifier, ok);                              \
    }

#define IMVELA_FILTER_VALUE(Name, identifier, ...) IMVELA_NAMED_FILTER_VALUE(Name, kFilter##Name)
#define IMVELA_UNNAMED_FILTER_VALUE(...)
#include "settings/filter_value_list.inc"
#undef IMVELA_UNNAMED_FILTER_VALUE
#undef IMVELA_FILTER_VALUE
#undef IMVELA_NAMED_FILTER_VALUE

}  // extern "C"
