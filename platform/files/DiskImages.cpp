#include "platform/files/DiskImages.h"

#include <archive.h>
#include <archive_entry.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace platform {

namespace {

const int kBlockSize = 16384;

// Owns one libarchive handle for the span of a copy.
class ReadHandle {
public:
    explicit ReadHandle(archive* handle) : handle_(handle) {}
    ~ReadHandle()
    {
        if (handle_ != nullptr)
            archive_read_free(handle_);
    }
    ReadHandle(const ReadHandle&) = delete;
    ReadHandle& operator=(const ReadHandle&) = delete;
    archive* get() const { return handle_; }

private:
    archive* handle_;
};

class WriteHandle {
public:
    explicit WriteHandle(archive* handle) : handle_(handle) {}
    ~WriteHandle()
    {
        if (handle_ != nullptr)
            archive_write_free(handle_);
    }
    WriteHandle(const WriteHandle&) = delete;
    WriteHandle& operator=(const WriteHandle&) = delete;
    archive* get() const { return handle_; }

private:
    archive* handle_;
};

class EntryHandle {
public:
    EntryHandle() : entry_(archive_entry_new()) {}
    ~EntryHandle() { archive_entry_free(entry_); }
    EntryHandle(const EntryHandle&) = delete;
    EntryHandle& operator=(const EntryHandle&) = delete;
    archive_entry* get() const { return entry_; }

private:
    archive_entry* entry_;
};

std::string ErrorText(archive* handle, const std::string& what)
{
    const char* text = archive_error_string(handle);
    return text != nullptr ? what + ": " + text : what;
}

// The same for the writer into a folder, which words a failed system call by the call alone
// ("Write failed"): the system's reason (say, no space left on the device) is its errno.
std::string DiskErrorText(archive* handle, const std::string& what)
{
    const int code = archive_errno(handle);
    const std::string text = ErrorText(handle, what);
    return code > 0 ? text + ": " + std::strerror(code) : text;
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// An entry name as it will lie below the destination: "./" and trailing "/" dropped. False for
// names that would leave the destination; an empty result is the image's own top folder.
bool RelativeName(const char* raw, std::string& name)
{
    if (raw == nullptr)
        return false;
    std::string text = raw;
    if (!text.empty() && text[0] == '/')
        return false;
    name.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('/', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string part = text.substr(start, end - start);
        if (part == "..")
            return false;
        if (!part.empty() && part != ".")
            name += (name.empty() ? "" : "/") + part;
        start = end + 1;
    }
    return true;
}

// The name of a folder image's entry below the folder itself.
bool NameBelow(const std::string& folder, const char* raw, std::string& name)
{
    if (raw == nullptr)
        return false;
    const std::string path = raw;
    if (path == folder) {
        name.clear();
        return true;
    }
    if (path.size() <= folder.size() + 1 || path.compare(0, folder.size(), folder) != 0 || path[folder.size()] != '/')
        return false;
    return RelativeName(path.c_str() + folder.size() + 1, name);
}

bool RealFolder(const std::string& path, std::string& real)
{
    char buffer[PATH_MAX];
    if (realpath(path.c_str(), buffer) == nullptr)
        return false;
    struct stat info;
    if (stat(buffer, &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    real = buffer;
    return true;
}

// Copies an entry's data; null when all of it was copied, else the handle whose error says why.
// A warning fails the copy too: libarchive warns of data that does not match its checksum, and
// of a write to disk that failed or was cut short.
archive* CopyData(archive* source, archive* target, bool toDisk)
{
    for (;;) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(source, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            return nullptr;
        if (status != ARCHIVE_OK)
            return source;
        if (toDisk) {
            if (archive_write_data_block(target, block, size, offset) != ARCHIVE_OK)
                return target;
        } else if (size > 0 && archive_write_data(target, block, size) != static_cast<la_ssize_t>(size)) {
            return target;
        }
    }
}

// An ISO 9660 image says in its primary volume descriptor (the 17th block of 2048 bytes) how
// long it is. Cut short, it may no longer be read as one, and then reads as a tar archive that
// ends at once (its first blocks are zeros): the copy would be an empty tree.
bool ISOImageCutShort(const std::string& imagePath, off_t fileSize, std::string& error)
{
    const off_t kDescriptorOffset = 16 * 2048;
    unsigned char descriptor[132];
    const int fd = open(imagePath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t got = pread(fd, descriptor, sizeof(descriptor), kDescriptorOffset);
    close(fd);
    if (got != static_cast<ssize_t>(sizeof(descriptor)) || descriptor[0] != 1 ||
        std::memcmp(descriptor + 1, "CD001", 5) != 0)
        return false;
    // Both numbers are stored twice, little-endian first.
    const std::uint64_t blocks =
        descriptor[80] | descriptor[81] << 8 | descriptor[82] << 16 | static_cast<std::uint64_t>(descriptor[83]) << 24;
    const std::uint64_t blockSize = descriptor[128] | descriptor[129] << 8;
    if (static_cast<std::uint64_t>(fileSize) >= blocks * blockSize)
        return false;
    error = "the image " + imagePath + " is cut short: it holds " + std::to_string(fileSize) + " of its " +
            std::to_string(blocks * blockSize) + " bytes";
    return true;
}

// libarchive reads a gzip stream without looking at the checksum and length that close it, so a
// compressed tar image whose data was damaged reads as if whole; zlib reads it again and checks.
bool GzipStreamWhole(const std::string& imagePath, std::string& error)
{
    const gzFile file = gzopen(imagePath.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + imagePath + ": " + std::strerror(errno != 0 ? errno : ENOMEM);
        return false;
    }
    std::vector<char> buffer(kBlockSize);
    int got = 0;
    while ((got = gzread(file, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0) {
    }
    int code = Z_OK;
    const std::string text = got < 0 ? gzerror(file, &code) : "";
    gzclose_r(file);
    if (got == 0)
        return true;
    // zlib's text names the file itself first.
    const std::string::size_type named =
        text.compare(0, imagePath.size() + 2, imagePath + ": ") == 0 ? imagePath.size() + 2 : 0;
    error = "the image " + imagePath + " is damaged: " + (code == Z_ERRNO ? std::strerror(errno) : text.substr(named));
    return false;
}

// The same for any other compression: libarchive checks what closes the stream (an lz4 frame's
// checksum, say) only when it reads that far, which the format's reader never does.
bool CompressedStreamWhole(const std::string& imagePath, std::string& error)
{
    ReadHandle reader(archive_read_new());
    if (reader.get() == nullptr) {
        error = "out of memory";
        return false;
    }
    archive_read_support_filter_all(reader.get());
    archive_read_support_format_raw(reader.get());
    EntryHandle entry;
    int status = archive_read_open_filename(reader.get(), imagePath.c_str(), kBlockSize);
    if (status == ARCHIVE_OK)
        status = archive_read_next_header2(reader.get(), entry.get());
    while (status == ARCHIVE_OK) {
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        status = archive_read_data_block(reader.get(), &block, &size, &offset);
    }
    if (status == ARCHIVE_EOF)
        return true;
    error = ErrorText(reader.get(), "the image " + imagePath + " is damaged");
    return false;
}

// Whether the compressed image's stream is whole to its end: by zlib where the file is gzip
// (libarchive does not check a gzip stream's checksum), by libarchive otherwise.
bool StreamWhole(archive* reader, const std::string& imagePath, std::string& error)
{
    const int filters = archive_filter_count(reader);
    if (filters < 2)
        return true;  // none but the file itself
    if (archive_filter_code(reader, filters - 2) == ARCHIVE_FILTER_GZIP)
        return GzipStreamWhole(imagePath, error);
    return CompressedStreamWhole(imagePath, error);
}

archive* OpenFolderReader(const std::string& folder, std::string& error)
{
    archive* reader = archive_read_disk_new();
    if (reader == nullptr) {
        error = "out of memory";
        return nullptr;
    }
    archive_read_disk_set_symlink_physical(reader);
    archive_read_disk_set_standard_lookup(reader);
    if (archive_read_disk_open(reader, folder.c_str()) != ARCHIVE_OK) {
        error = ErrorText(reader, "cannot read " + folder);
        archive_read_free(reader);
        return nullptr;
    }
    return reader;
}

}  // namespace

bool WriteDiskImage(const std::string& folder, const std::string& imagePath, DiskImageFormat format,
                    const std::string& passphrase, std::string& error)
{
    std::string source;
    if (!RealFolder(folder, source)) {
        error = "not a folder: " + folder;
        return false;
    }
    struct stat existing;
    if (lstat(imagePath.c_str(), &existing) == 0) {
        error = "the image exists already: " + imagePath;
        return false;
    }
    if (!passphrase.empty() && format != kDiskImageZip) {
        error = "only zip images carry a passphrase";
        return false;
    }

    WriteHandle writer(archive_write_new());
    bool ok = writer.get() != nullptr;
    switch (format) {
    case kDiskImageTar:
        ok = ok && archive_write_set_format_pax_restricted(writer.get()) == ARCHIVE_OK;
        break;
    case kDiskImageTarGzip:
        ok = ok && archive_write_set_format_pax_restricted(writer.get()) == ARCHIVE_OK &&
             archive_write_add_filter_gzip(writer.get()) == ARCHIVE_OK;
        break;
    case kDiskImageZip:
        ok = ok && archive_write_set_format_zip(writer.get()) == ARCHIVE_OK;
        if (ok && !passphrase.empty())
            ok = archive_write_set_options(writer.get(), "zip:encryption=aes256") == ARCHIVE_OK &&
                 archive_write_set_passphrase(writer.get(), passphrase.c_str()) == ARCHIVE_OK;
        break;
    case kDiskImageISO:
        // Rock Ridge as the files are: the default gives everything to root and drops write bits.
        ok = ok && archive_write_set_format_iso9660(writer.get()) == ARCHIVE_OK &&
             archive_write_set_options(writer.get(), "iso9660:rockridge=strict") == ARCHIVE_OK;
        break;
    }
    if (!ok) {
        error = writer.get() != nullptr ? ErrorText(writer.get(), "cannot set up the image") : "out of memory";
        return false;
    }
    if (archive_write_open_filename(writer.get(), imagePath.c_str()) != ARCHIVE_OK) {
        error = ErrorText(writer.get(), "cannot create " + imagePath);
        return false;
    }

    ReadHandle reader(OpenFolderReader(source, error));
    ok = reader.get() != nullptr;
    while (ok) {
        EntryHandle entry;
        const int status = archive_read_next_header2(reader.get(), entry.get());
        if (status == ARCHIVE_EOF)
            break;
        std::string name;
        if (status < ARCHIVE_WARN || !NameBelow(source, archive_entry_pathname(entry.get()), name)) {
            error = ErrorText(reader.get(), "cannot read " + source);
            ok = false;
            break;
        }
        archive_read_disk_descend(reader.get());
        if (name.empty())
            continue;
        archive_entry_set_pathname(entry.get(), name.c_str());
        if (archive_write_header(writer.get(), entry.get()) < ARCHIVE_WARN) {
            error = ErrorText(writer.get(), "cannot add " + name);
            ok = false;
        } else if (archive_entry_filetype(entry.get()) == AE_IFREG) {
            if (archive* failed = CopyData(reader.get(), writer.get(), false)) {
                error = ErrorText(failed, "cannot copy " + name);
                ok = false;
            }
        }
    }
    if (ok && archive_write_close(writer.get()) != ARCHIVE_OK) {
        error = ErrorText(writer.get(), "cannot finish " + imagePath);
        ok = false;
    }
    if (!ok)
        unlink(imagePath.c_str());
    return ok;
}

DiskImageLayOutResult LayOutDiskImage(const std::string& imagePath, bool hasPassphrase, const std::string& passphrase,
                                      const std::string& folder, std::string& error)
{
    std::string destination;
    if (!RealFolder(folder, destination)) {
        error = "not a folder: " + folder;
        return kImageLayOutFailed;
    }
    struct stat image;
    if (stat(imagePath.c_str(), &image) != 0) {
        error = "no such image: " + imagePath;
        return kImageNotRecognized;
    }

    std::string folderImage;
    const bool isFolderImage = S_ISDIR(image.st_mode);
    if (isFolderImage) {
        if (!EndsWith(imagePath, ".dmg") || !RealFolder(imagePath, folderImage)) {
            error = "a folder image's name ends in .dmg: " + imagePath;
            return kImageNotRecognized;
        }
    } else if (!S_ISREG(image.st_mode)) {
        error = "not an image: " + imagePath;
        return kImageNotRecognized;
    } else if (ISOImageCutShort(imagePath, image.st_size, error)) {
        return kImageLayOutFailed;
    }

    ReadHandle reader(isFolderImage ? OpenFolderReader(folderImage, error) : archive_read_new());
    if (reader.get() == nullptr)
        return kImageLayOutFailed;
    if (!isFolderImage) {
        archive_read_support_filter_all(reader.get());
        archive_read_support_format_tar(reader.get());
        archive_read_support_format_zip(reader.get());
        archive_read_support_format_iso9660(reader.get());
        if (hasPassphrase && !passphrase.empty())
            archive_read_add_passphrase(reader.get(), passphrase.c_str());
        if (archive_read_open_filename(reader.get(), imagePath.c_str(), kBlockSize) != ARCHIVE_OK) {
            error = ErrorText(reader.get(), "cannot open " + imagePath);
            return kImageNotRecognized;
        }
    }

    WriteHandle writer(archive_write_disk_new());
    if (writer.get() == nullptr) {
        error = "out of memory";
        return kImageLayOutFailed;
    }
    // Entries must not reach outside the folder, neither by ".." nor through a link that an
    // earlier entry made. Owners are the image's numbers, as a mounted image shows them; only
    // root may give files away, and another user's copy keeps the set-id bits on files of its own.
    const bool mayChown = geteuid() == 0;
    archive_write_disk_set_options(writer.get(), ARCHIVE_EXTRACT_PERM | ARCHIVE_EXTRACT_TIME |
                                                     (mayChown ? ARCHIVE_EXTRACT_OWNER : 0) |
                                                     ARCHIVE_EXTRACT_SECURE_SYMLINKS | ARCHIVE_EXTRACT_SECURE_NODOTDOT);

    bool first = true;
    for (;;) {
        EntryHandle entry;
        const int status = archive_read_next_header2(reader.get(), entry.get());
        if (status == ARCHIVE_EOF)
            break;
        // A header that libarchive skipped as damaged (a retry) is a damaged image too, and a
        // warning that left the entry without a name is no entry that can be laid out.
        if (status == ARCHIVE_RETRY || status < ARCHIVE_WARN || archive_entry_pathname(entry.get()) == nullptr) {
            error = ErrorText(reader.get(), "cannot read " + imagePath);
            return first && !isFolderImage && status < ARCHIVE_WARN ? kImageNotRecognized : kImageLayOutFailed;
        }
        first = false;
        std::string name;
        const bool named = isFolderImage ? NameBelow(folderImage, archive_entry_pathname(entry.get()), name)
                                         : RelativeName(archive_entry_pathname(entry.get()), name);
        if (!named) {
            error = std::string("an entry lies outside the image: ") + archive_entry_pathname(entry.get());
            return kImageLayOutFailed;
        }
        if (isFolderImage)
            archive_read_disk_descend(reader.get());
        if (name.empty())
            continue;
        const char* hardlink = archive_entry_hardlink(entry.get());
        if (hardlink != nullptr) {
            std::string linked;
            const bool linkNamed = isFolderImage ? NameBelow(folderImage, hardlink, linked) : RelativeName(hardlink, linked);
            if (!linkNamed || linked.empty()) {
                error = std::string("a link leads outside the image: ") + hardlink;
                return kImageLayOutFailed;
            }
            archive_entry_set_hardlink(entry.get(), (destination + "/" + linked).c_str());
        }
        archive_entry_set_pathname(entry.get(), (destination + "/" + name).c_str());
        if (!mayChown) {
            archive_entry_set_uid(entry.get(), geteuid());
            archive_entry_set_gid(entry.get(), getegid());
        }

        if (archive_write_header(writer.get(), entry.get()) < ARCHIVE_WARN) {
            error = DiskErrorText(writer.get(), "cannot lay out " + name);
            return kImageLayOutFailed;
        }
        archive* failed =
            archive_entry_filetype(entry.get()) == AE_IFREG ? CopyData(reader.get(), writer.get(), true) : nullptr;
        if (failed == reader.get()) {
            if (archive_entry_is_data_encrypted(entry.get())) {
                error = "the passphrase does not open the image";
                return kImageWrongPassphrase;
            }
            error = ErrorText(reader.get(), "cannot copy " + name + " from " + imagePath);
            return kImageLayOutFailed;
        }
        if (failed != nullptr) {
            error = DiskErrorText(writer.get(), "cannot copy " + name + " into " + destination);
            return kImageLayOutFailed;
        }
        if (archive_write_finish_entry(writer.get()) < ARCHIVE_WARN) {
            error = DiskErrorText(writer.get(), "cannot finish " + name);
            return kImageLayOutFailed;
        }
    }
    // An image file holds at least its payload's script: one that reads as no entries at all is
    // cut short or damaged (an ISO image cut before its volume descriptor reads as an empty tar).
    if (first && !isFolderImage) {
        error = "the image " + imagePath + " holds no entries: it is empty, cut short or damaged";
        return kImageLayOutFailed;
    }
    if (!isFolderImage && !StreamWhole(reader.get(), imagePath, error))
        return kImageLayOutFailed;
    if (archive_write_close(writer.get()) != ARCHIVE_OK) {
        error = DiskErrorText(writer.get(), "cannot finish laying out " + imagePath);
        return kImageLayOutFailed;
    }
    return kImageLaidOut;
}

}  // namespace platform
