#pragma once
// The other processes that have the device-use table open (those holding camera handles),
// as the operating system shows them: "1234 (imvela)". Empty where the system cannot tell;
// `available` says whether it could look.
#include <string>
#include <vector>

std::vector<std::string> device_table_users(bool* available);
