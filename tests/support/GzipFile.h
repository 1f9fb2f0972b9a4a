// Reading the gzip-compressed files that finished logs become.
#pragma once

#include <string>

namespace tolktest {

// Every member of a gzip file, decompressed; false when it cannot be read.
bool ReadGzip(const std::string& path, std::string& text);

}  // namespace tolktest
