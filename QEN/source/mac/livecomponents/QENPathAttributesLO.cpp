#include "QENPathAttributesLO.h"

#include "Common/source/mac/FileSystemUtilsMac.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "QEN/source/mac/livecomponents/QENGlobalsLC.h"

#include <exception>
#include <string>

namespace {

const int kCodeOK = 0;
const int kCodeWrongArgumentCount = 20;
const int kCodeNoSuchMethod = 24;

}  // namespace

const char* const QENPathAttributesLO::kClassName = "QENPathAttributes";
const double QENPathAttributesLO::VERSION_NUMBER = 0.1;

const Mivor::LivePropertyInfo QENPathAttributesLO::_myTable[] = {
    {"isDirectory", kID_isDirectory, Mivor::kLiveReadOnlyProperty, 0},
    {"isRegularFile", kID_isRegularFile, Mivor::kLiveReadOnlyProperty, 0},
    {"isSymlink", kID_isSymlink, Mivor::kLiveReadOnlyProperty, 0},
    {"group", kID_group, Mivor::kLiveReadOnlyProperty, 0},
    {"owner", kID_owner, Mivor::kLiveReadOnlyProperty, 0},
    {"permissions", kID_permissions, Mivor::kLiveReadOnlyProperty, 0},
    {"VERSION", kID_VERSION, Mivor::kLiveReadOnlyProperty, 0},
    {nullptr, 0, 0, 0},
};

QENPathAttributesLO::QENPathAttributesLO() : Mivor::LiveObject(kClassName), propertyManager_(_myTable)
{
    setPropertyManager(&propertyManager_);
}

QENPathAttributesLO::~QENPathAttributesLO()
{
    setPropertyManager(nullptr);
}

int QENPathAttributesLO::clone(Mivor::LiveObject*& out, bool)
{
    out = new QENPathAttributesLO;
    return kCodeOK;
}

int QENPathAttributesLO::initialize(const Mivor::Array& arguments)
{
    if (arguments.length() != 1)
        return kCodeWrongArgumentCount;
    // No absolute path, or one too long: the construction throws (-29), saying why, rather than
    // answer for some other place.
    path_.reset(new FileSystemPath(QENGlobalsLC::ToPath(arguments[0])));
    return kCodeOK;
}

int QENPathAttributesLO::get(std::uint32_t id, Mivor::Variant& result, Mivor::Error* error)
{
    result.clear();
    if (id == kID_VERSION) {
        result.setDouble(VERSION_NUMBER);
        return setError(kCodeOK, id, error, false);
    }
    if (!path_)
        return setError(kCodeOK, id, error, false);
    const FileSystemPath& path = *path_;
    bool flag = false;
    unsigned int owner = 0;
    unsigned int group = 0;
    unsigned short mode = 0;
    try {
        switch (id) {
        case kID_isDirectory:
            if (FileSystemUtils::IsDirectory(path, flag))
                result.setBool(flag);
            break;
        case kID_isRegularFile:
            if (FileSystemUtilsMac::IsRegularFile(path, flag))
                result.setBool(flag);
            break;
        case kID_isSymlink:
            if (FileSystemUtilsMac::IsSymlink(path, flag))
                result.setBool(flag);
            break;
        case kID_group:
            if (FileSystemUtilsMac::GetOwnerGroup(path, owner, group))
                result.setUInt(group);
            break;
        case kID_owner:
            if (FileSystemUtilsMac::GetOwnerGroup(path, owner, group))
                result.setUInt(owner);
            break;
        case kID_permissions:
            if (FileSystemUtilsMac::GetMode(path, mode))
                result.setInt(mode);
            break;
        default:
            break;
        }
    } catch (const std::exception&) {
        // A property that cannot be read is undefined, like one of a missing path.
        result.clear();
    }
    return setError(kCodeOK, id, error, false);
}

int QENPathAttributesLO::call(std::uint32_t id, const Mivor::Array&, Mivor::Variant& result, Mivor::Error* error)
{
    result.clear();
    return setError(kCodeNoSuchMethod, id, error, false);
}
