// safe_remove_floor TREE TEMPORARY_FOLDER: the least work that a removal which can be taken back
// must do, timed by bench/setup_bench.py next to rm -rf and Setup's uninstall operation. For each
// file of the tree: an lstat, an exclusive move into the temporary folder, a record of the move in
// a journal that outlives a killed process (a shared mapping of a file reserved beforehand), and
// two log lines; at the end (the commit) every moved file is unlinked and the tree's folders are
// removed. No script, no checks of the folders on the way, no database.
#include <fcntl.h>
#include <ftw.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <linux/fs.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string> gFiles;
std::vector<std::string> gFolders;

int Collect(const char* path, const struct stat*, int type, struct FTW*)
{
    if (type == FTW_F || type == FTW_SL)
        gFiles.emplace_back(path);
    else if (type == FTW_DP)
        gFolders.emplace_back(path);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: safe_remove_floor TREE TEMPORARY_FOLDER\n");
        return 2;
    }
    const std::string temporary = argv[2];
    // The list of files stands for the stored uninstall script, which Setup reads before it starts.
    if (nftw(argv[1], Collect, 64, FTW_PHYS | FTW_DEPTH) != 0)
        return 1;
    const int folder = open(temporary.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    const int journal = open((temporary + ".journal").c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    std::FILE* log = std::fopen((temporary + ".log").c_str(), "w");
    const std::size_t reserved = (gFiles.size() + 1) * 4096;
    if (folder < 0 || journal < 0 || log == nullptr || posix_fallocate(journal, 0, static_cast<off_t>(reserved)) != 0)
        return 1;
    void* mapped = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_SHARED, journal, 0);
    if (mapped == MAP_FAILED)
        return 1;
    char* end = static_cast<char*>(mapped);

    std::vector<std::string> moved;
    moved.reserve(gFiles.size());
    for (const std::string& file : gFiles) {
        struct stat info;
        if (lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return 1;
        std::fprintf(log, "Deleting file \"%s\"\n", file.c_str());
        char name[32];
        std::snprintf(name, sizeof(name), ".temp%06zu", moved.size());
        if (syscall(SYS_renameat2, AT_FDCWD, file.c_str(), folder, name, RENAME_NOREPLACE) != 0)
            return 1;
        const std::string record = "M\t" + file + "\t" + temporary + "/" + name + "\n";
        std::memcpy(end, record.data(), record.size());
        end += record.size();
        std::fprintf(log, "Moved \"%s\" aside\n", file.c_str());
        moved.emplace_back(name);
    }
    for (const std::string& name : moved) {
        if (unlinkat(folder, name.c_str(), 0) != 0)
            return 1;
    }
    for (const std::string& each : gFolders) {
        if (rmdir(each.c_str()) != 0)
            return 1;
    }
    munmap(mapped, reserved);
    close(journal);
    close(folder);
    return std::fclose(log) == 0 ? 0 : 1;
}
