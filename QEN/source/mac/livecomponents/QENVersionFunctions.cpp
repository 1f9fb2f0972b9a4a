// The script functions that read the versions of files: shared resource files (fonts, colour
// profiles, character maps...) and version property lists.
#include "QENGlobalFunctions.h"

#include "Common/source/xplat/KVRFileVersion.h"
#include "QEN/source/mac/VersionPlist.h"

#include <boost/format.hpp>

#include <vector>

namespace QENGlobalFunctions {

int QENGetOrvexFileVersion(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string path = QENGlobalsLC::ToPath(arguments[0]).AsUTF8String();
    KVR_FileVersion version = {kKVR_UnsetPart, kKVR_UnsetPart, kKVR_UnsetPart, kKVR_UnsetPart};
    KVR_FileType type = kKVR_FileTypeUnknown;
    if (KVR_GetFileVersion(path.c_str(), &version, &type) != kKVR_Success)
        return QENGlobalsLC::kCodeOK;
    globals.Log().AppendToLog(LogAppender::kLogDebug,
                              (boost::format("Retrieved file version of %1%.%2%.%3%.%4% and type %5% for file \"%6%\"") %
                               version.majorVersion % version.minorVersion % version.thirdVersion %
                               version.fourthVersion % static_cast<std::uint32_t>(type) % path)
                                  .str());
    // Parts are handed out signed, so that a part the file does not give reads as -1.
    Mivor::Array parts;
    for (std::uint32_t part : {version.majorVersion, version.minorVersion, version.thirdVersion, version.fourthVersion})
        parts.appendUndefined().setInt(static_cast<std::int32_t>(part));
    Mivor::Array& answer = result.makeArray();
    answer.appendUndefined().setUInt(static_cast<std::uint32_t>(type));
    answer.append(parts);
    return QENGlobalsLC::kCodeOK;
}

int QENGetVersionPlistVersion(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result)
{
    if (arguments.length() != 1)
        return QENGlobalsLC::kCodeWrongArgumentCount;
    const std::string path = QENGlobalsLC::ToPath(arguments[0]).AsUTF8String();
    std::vector<int> numbers;
    if (!VersionPlist::GetVersion(path, numbers))
        return QENGlobalsLC::kCodeOK;
    globals.Log().AppendToLog(LogAppender::kLogDebug,
                              (boost::format("Retrieved version.plist file version of %1%.%2%.%3%.%4%.%5% for file \"%6%\"") %
                               numbers[0] % numbers[1] % numbers[2] % numbers[3] % numbers[4] % path)
                                  .str());
    Mivor::Array& answer = result.makeArray();
    for (int number : numbers)
        answer.appendUndefined().setInt(number);
    return QENGlobalsLC::kCodeOK;
}

}  // namespace QENGlobalFunctions
