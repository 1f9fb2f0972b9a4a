// Records payloads in the installation database of the system root that TOLK_SYSTEM_ROOT names,
// all in one database session:  caps_records_bench COUNT
// COUNT 0 only creates the database (the benchmark's template for its sqlite3 anchor).
#include "caps/caps.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: caps_records_bench COUNT\n");
        return 2;
    }
    const long count = std::strtol(argv[1], nullptr, 10);
    capsiSession* session = nullptr;
    if (capsOpenSession(&session) != 0) {
        std::fprintf(stderr, "caps_records_bench: cannot open the installation database\n");
        return 1;
    }
    const char* const collection = "bench0000000000000000000000000000";
    int failed = count > 0 ? capsAddCollection(session, collection, "{00000000-0000-0000-0000-000000000000}") : 0;
    for (long i = 0; i < count && failed == 0; ++i) {
        char code[64];
        std::snprintf(code, sizeof(code), "{%08lX-0000-4000-8000-000000000000}", i);
        failed = capsAddPayload(session, collection, code, "Bench", "Bench Payload", "1.0", "20240611.1", nullptr,
                                nullptr);
    }
    const int closed = capsCloseSession(session);
    if (failed != 0 || closed != 0) {
        std::fprintf(stderr, "caps_records_bench: status %d, close %d\n", failed, closed);
        return 1;
    }
    return 0;
}
