#include "BundleUtils.h"

#include "MacUtils.h"

namespace BundleUtils {

platform::BundlePtr CreateBundleFromPath(const FileSystemPath& folder)
{
    return platform::Bundle::Create(folder.AsUTF8String());
}

platform::BundlePtr CreateEnclosingCFBundleOfType(const FileSystemPath& path, std::uint32_t packageType,
                                                  bool mustHaveExecutable)
{
    FileSystemPath folder = path.Parent();
    for (;;) {
        std::uint32_t type = 0;
        std::uint32_t creator = 0;
        if (MacUtils::GetPackageInfo(folder, type, creator) && type == packageType) {
            platform::BundlePtr bundle = CreateBundleFromPath(folder);
            std::string executable;
            if (bundle && (!mustHaveExecutable || bundle->ExecutablePath(executable)))
                return bundle;
        }
        const FileSystemPath parent = folder.Parent();
        if (parent.AsUTF8String() == folder.AsUTF8String())
            return platform::BundlePtr();
        folder = parent;
    }
}

}  // namespace BundleUtils
