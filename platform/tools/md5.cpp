// The stand-in for the system's md5 tool: "md5 [-q] [file ...]". Without files it digests its
// standard input and prints the 32 lower-case hexadecimal digits and a line end; with files it
// prints "MD5 (file) = digits" for each, or the digits alone with -q.
#include "ToolSupport.h"

#include "platform/files/Files.h"

#include <nettle/md5.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kToolPath = "/sbin/md5";

bool DigestDescriptor(int fd, std::string& hex)
{
    struct md5_ctx context;
    md5_init(&context);
    const bool whole = platform::ReadUntilEnd(fd, [&context](const char* piece, std::size_t size) {
        md5_update(&context, size, reinterpret_cast<const uint8_t*>(piece));
        return true;
    });
    if (!whole)
        return false;
    uint8_t digest[MD5_DIGEST_SIZE];
    md5_digest(&context, MD5_DIGEST_SIZE, digest);
    static const char kDigits[] = "0123456789abcdef";
    hex.clear();
    for (uint8_t byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0f];
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string root;
    if (tools::FindSystemRoot(kToolPath, root))
        tools::RecordToolCall(root, kToolPath, argc, argv);

    bool quiet = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (files.empty() && argument == "-q") {
            quiet = true;
        } else if (files.empty() && argument.size() > 1 && argument[0] == '-') {
            std::fprintf(stderr, "md5: illegal option -- %s\nusage: md5 [-q] [file ...]\n", argument.c_str() + 1);
            return 1;
        } else {
            files.push_back(argument);
        }
    }

    std::string hex;
    if (files.empty()) {
        if (!DigestDescriptor(STDIN_FILENO, hex)) {
            std::fprintf(stderr, "md5: stdin: %s\n", std::strerror(errno));
            return 1;
        }
        std::printf("%s\n", hex.c_str());
        return std::fflush(stdout) == 0 ? 0 : 1;
    }

    int status = 0;
    for (const std::string& file : files) {
        const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || !DigestDescriptor(fd, hex)) {
            std::fprintf(stderr, "md5: %s: %s\n", file.c_str(), std::strerror(errno));
            if (fd >= 0)
                close(fd);
            status = 1;
            continue;
        }
        close(fd);
        if (quiet)
            std::printf("%s\n", hex.c_str());
        else
            std::printf("MD5 (%s) = %s\n", file.c_str(), hex.c_str());
    }
    return std::fflush(stdout) == 0 ? status : 1;
}
