#pragma once
// The checks of a camera that need nothing but the public functions' own paths, run on the
// camera of one camera object: enumeration, ROM identifier, a sensor register read back,
// every colour mode streaming at the rate the camera sends, the snapshot and stream
// delivering the library's image, and a stop within a second.
#include <cstdint>
#include <string>

namespace imvela {

class CImvela;

// Appends a line per check ("camera    NAME  FIGURES  pass|FAIL") to `report`; the number
// of checks that failed. The camera must be idle; its colour mode is put back afterwards.
// Errors the checks provoke are taken out of the camera's history again.
int32_t check_camera(CImvela& camera, std::string& report);

}  // namespace imvela
