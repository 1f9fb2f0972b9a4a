#include "tests/support/GzipFile.h"

#include <zlib.h>

namespace tolktest {

bool ReadGzip(const std::string& path, std::string& text)
{
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[4096];
    int count;
    text.clear();
    while ((count = gzread(file, buffer, sizeof(buffer))) > 0)
        text.append(buffer, static_cast<std::size_t>(count));
    return gzclose(file) == Z_OK && count == 0;
}

}  // namespace tolktest
