// The payload images that the stand-in disk-image tool attaches: a folder whose name ends in
// ".dmg", or a tar (optionally compressed), zip or ISO 9660 file. Laying an image's contents out
// in a folder is what "attach" does here; writing one makes images for tests and examples.
#pragma once

#include <string>

namespace platform {

enum DiskImageFormat {
    kDiskImageTar,
    kDiskImageTarGzip,
    kDiskImageZip,  // the only one that can carry a passphrase (AES-256)
    kDiskImageISO
};

// Writes the contents of a folder (not the folder itself) as an image file, replacing nothing:
// the image must not exist yet. An empty passphrase writes an unencrypted image. False, with no
// image left behind, on failure; error then says why.
bool WriteDiskImage(const std::string& folder, const std::string& imagePath, DiskImageFormat format,
                    const std::string& passphrase, std::string& error);

enum DiskImageLayOutResult {
    kImageLaidOut,
    kImageNotRecognized,    // neither a "*.dmg" folder nor a readable tar, zip or ISO file
    kImageWrongPassphrase,  // encrypted, and the passphrase is missing or does not open it
    kImageLayOutFailed      // any other read or write failure
};

// Copies the contents of the image into an existing folder, keeping permission bits (set-id bits
// included), owners (by number; a process that is not root owns what it lays out), times and
// symbolic links as they are. Entries that would land outside the folder make the whole image
// fail, and so does any warning about an entry's data (a checksum that does not match, a write
// that failed or was cut short: error then names the entry), a damaged header, a compressed
// stream whose checksum does not match, and an image cut short or that holds no entries.
// hasPassphrase false means none was given. On failure what was laid out stays; the
// caller removes it.
DiskImageLayOutResult LayOutDiskImage(const std::string& imagePath, bool hasPassphrase, const std::string& passphrase,
                                      const std::string& folder, std::string& error);

}  // namespace platform
