// Runs a built program the way a user would and keeps what it printed and its exit code.
#pragma once

#include <string>
#include <vector>

namespace tolktest {

struct ProgramResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string output;       // standard output
    std::string errorOutput;  // standard error
};

// Runs program with argv[0] set to argv0 (the program itself when empty) and the arguments, in
// the folder cwd (the caller's own when empty), with the caller's environment.
ProgramResult RunCapturingOutput(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::string& cwd = "", const std::string& argv0 = "");

// Runs the program as RunCapturingOutput does and answers the shared objects the dynamic loader
// loaded into it, from start-up to exit (those opened with dlopen included), as the loader names
// them: "libsqlite3.so.0", "/path/Module.so".
std::vector<std::string> LoadedObjects(const std::string& program, const std::vector<std::string>& arguments);

// Whether one of the objects is a windowing library (GTK, WebKitGTK, JavaScriptCore) or the
// wizard's module; the first such name in found.
bool LoadsWindowing(const std::vector<std::string>& objects, std::string& found);

}  // namespace tolktest
