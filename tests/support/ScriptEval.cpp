#include "tests/support/ScriptEval.h"

namespace tolktest {

std::string Eval(Pelvo::Engine& scripts, const std::string& script)
{
    const Mivor::Encoder& utf8 = Mivor::Encoder::getUtf8();
    Mivor::Variant result;
    if (!scripts.eval(Mivor::String(script.c_str(), utf8), result)) {
        const std::string error = scripts.getError().getFullText().encode(utf8);
        scripts.clearError();
        return "error: " + error;
    }
    return result.toString().encode(utf8);
}

}  // namespace tolktest
