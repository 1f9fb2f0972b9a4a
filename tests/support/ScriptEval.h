// The script helper of the suites that run scripts on an engine of the scripting core: a
// script's result as the text a test compares.
#pragma once

#include "platform/script/Pelvo.h"

#include <string>

namespace tolktest {

// Evaluates the script (UTF-8) and answers its result as text: "undefined", "null" or its string
// form; "error: " and the error's full text when it threw, after which the engine's error is
// cleared for the next script.
std::string Eval(Pelvo::Engine& scripts, const std::string& script);

}  // namespace tolktest
