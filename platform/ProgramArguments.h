// The program's command-line arguments, for the platform services that read them (the interface
// language's "-AppleLanguages" preference). main hands them over; until then, or after an empty
// list, they are read from the process's own command line.
#pragma once

#include <string>
#include <vector>

namespace platform {

void SetProgramArguments(int argc, const char* const argv[]);
void SetProgramArguments(const std::vector<std::string>& arguments);

// The arguments, the program path first.
std::vector<std::string> ProgramArguments();

}  // namespace platform
