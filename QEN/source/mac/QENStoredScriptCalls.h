// QENStoredScriptCalls: the calls with literal arguments that most of a stored uninstall script is
// made of, read from its text so that the engine plays them without compiling them. A piece that
// holds anything else (a declaration, an expression, an escape in a string) is no such piece, and
// the engine compiles it as it stands.
#pragma once

#include "platform/script/Pelvo.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace QENStoredScriptCalls {

// The bytes [begin, end) of text as calls, when every one of their statements is one
// ("Name(literal, ...);", or that call inside "if (Condition(literal, ...)) { ... }" as the
// engine stores an entry with a condition, over three lines, or as a maker writes one, on one)
// and no line holds more than one; the first line has the number given. The literals are string
// literals without escapes and decimal integers, which read the same as the engine compiles them.
bool Read(const std::string& text, std::size_t begin, std::size_t end, std::int32_t line,
          std::vector<Pelvo::Engine::CallStatement>& calls);

}  // namespace QENStoredScriptCalls
