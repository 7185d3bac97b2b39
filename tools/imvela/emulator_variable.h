#pragma once
// IMVELA_EMULATOR as the library understands it: checked by the tool before any command, so
// that a value of another form ("off", "0 1") is not silently taken as "no camera".
#include <string>

// Empty when IMVELA_EMULATOR is unset or of a form the library reads; otherwise the message
// naming the accepted forms.
std::string emulator_variable_problem();
// "emulated camera" or "camera driver": which one serves camera `number`.
const char* camera_driver_name(int number);
