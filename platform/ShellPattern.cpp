#include "platform/ShellPattern.h"

#include <fnmatch.h>

namespace platform {

static_assert(kShellPatternCaseFold == FNM_CASEFOLD, "the flag is handed to fnmatch unchanged");

int MatchShellPattern(const std::string& pattern, const std::string& text, int flags)
{
    if (pattern.find('\0') != std::string::npos || text.find('\0') != std::string::npos)
        return FNM_NOMATCH;
    return fnmatch(pattern.c_str(), text.c_str(), flags);
}

}  // namespace platform
