// Finishes a plain log file as Setup does at exit (gzip-compressed onto PATH.gz, the plain file
// removed):  log_finish_bench PATH
#include "Common/source/xplat/LogFile.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: log_finish_bench PATH\n");
        return 2;
    }
    return LogFile::Compress(argv[1]) ? 0 : 1;
}
