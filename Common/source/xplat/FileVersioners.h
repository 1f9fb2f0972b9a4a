// The versioners of the shared resource files that payloads install, one per kind of file,
// tried in the order StandardVersionerFuncs lists them.
#pragma once

#include "VersionFactory.h"

// PostScript character maps: "begincmap" and a /CMapVersion entry.
class CMapVersioner : public Versioner<CMapVersioner> {
public:
    bool VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type) override;
};

// ICC colour profiles, named .icc, .icm, .csf or .pf: the header's creation date is the version.
class ColorProfileVersioner : public Versioner<ColorProfileVersioner> {
public:
    bool VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type) override;
};

// OpenType fonts named .otf whose name table carries "<version>;ORVX;".
class OTFFontVersioner : public Versioner<OTFFontVersioner> {
public:
    bool VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type) override;
};

// Type 1 fonts named .pfb with a "/version (x.y) readonly def" entry.
class PFBFontVersioner : public Versioner<PFBFontVersioner> {
public:
    bool VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type) override;
};

// Unicode mapping tables with a "##Orvex File Version:" comment.
class UnicodeMapVersioner : public Versioner<UnicodeMapVersioner> {
public:
    bool VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type) override;
};

// ICU converter and common data files: format and data versions from the data header.
class ICUVersioner : public Versioner<ICUVersioner> {
public:
    bool VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type) override;
};

// The maker's font database, with a "version=" entry.
class FontDatabaseVersioner : public Versioner<FontDatabaseVersioner> {
public:
    bool VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type) override;
};

// Script files carrying a "@@@BUILDINFO@@@" marker followed by a four-part version.
class JSXVersioner : public Versioner<JSXVersioner> {
public:
    bool VersionFile(const std::string& path, KVR_FileVersion& version, KVR_FileType& type) override;
};

// The eight versioners above in the order a file is tried: the first that recognises it wins.
VersionFactory::VersionerFuncs StandardVersionerFuncs();
