// FileSystemPath: one absolute file-system path held as UTF-8 text, validated on construction.
#pragma once

#include <string>

class FileSystemPath {
public:
    // The process's current working directory, taken as the system gives it.
    FileSystemPath();
    // Validates the text (see FileSystemUtils::ValidateUTF8FullPathString) and drops trailing "/".
    explicit FileSystemPath(const std::string& path);

    std::string AsUTF8String() const { return path_; }
    std::string AsNative() const { return path_; }

    // The last component, as basename(3) gives it ("/" for the root).
    std::string NameAsUTF8String() const;
    std::string NameAsNative() const { return NameAsUTF8String(); }

    // The containing folder, as dirname(3) gives it ("/" for the root and for "/a").
    FileSystemPath Parent() const;

    // Joins a segment in place: leading "/" of the segment are skipped and one "/" separates it
    // from the path. The result is not validated, but a segment holding a NUL throws
    // std::runtime_error ("Invalid path segment passed to FileSystemPath.").
    FileSystemPath& AppendUTF8Segment(const std::string& segment);
    FileSystemPath& AppendNativeSegment(const std::string& segment) { return AppendUTF8Segment(segment); }

    // Absolute text goes through the validating constructor; anything else is joined to the
    // current working directory without validation.
    static FileSystemPath PathFromUTF8(const std::string& text);
    static FileSystemPath PathFromNative(const std::string& text) { return PathFromUTF8(text); }

    // Whether both paths name the same file-system object, existing or not: the longest existing
    // prefixes must be the same object and the rests must match by the volume's case rule.
    // Throws std::runtime_error when either side cannot be looked up.
    bool operator==(const FileSystemPath& other) const;
    bool operator!=(const FileSystemPath& other) const { return !(*this == other); }

private:
    std::string path_;
};
