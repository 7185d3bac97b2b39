#pragma once
// Whether preview windows can open: a display the process may draw on.
#include <string>

// true when there is one; `detail` names it, or says why there is none and `remedy` what to do.
bool display_available(std::string* detail, std::string* remedy);
