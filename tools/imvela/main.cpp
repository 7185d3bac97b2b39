// imvela: the command-line tool for the camera library (commands in commands.h).
#include "command_line.h"

int main(int argc, char** argv) { return run_tool(argc, argv); }
