// Shell-style wildcard matching of a text against a pattern ("*", "?", "[...]"), as the system
// library's fnmatch does it.
#pragma once

#include <string>

namespace platform {

// Flags of MatchShellPattern; the values are the system library's own.
const int kShellPatternCaseFold = 0x10;  // letters match whatever their case

// 0 when the text matches the pattern, else non-zero. A pattern or text holding a NUL character
// never matches (the library would see only the part before it).
int MatchShellPattern(const std::string& pattern, const std::string& text, int flags);

}  // namespace platform
