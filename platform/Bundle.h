// Bundle: a bundle folder with its information property list, package type and executable, in
// the two layouts the system meets: "X.app/Contents/{Info.plist,PkgInfo,MacOS,Resources,
// SharedSupport}" and the shallow "X.framework/{Resources/Info.plist,<executable>}".
#pragma once

#include "platform/formats/PropertyList.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>

namespace platform {

class Bundle;
typedef boost::shared_ptr<Bundle> BundlePtr;

class Bundle {
public:
    // A bundle for an existing folder (its information may be empty); null for anything else.
    static BundlePtr Create(const std::string& folder);

    // The bundle of the running program: the folder three levels above the executable when it
    // lies in "<bundle>/Contents/MacOS", else the executable's own folder. A test may set
    // another folder; an empty text restores the default.
    static BundlePtr Main();
    static void SetMainBundlePathForTesting(const std::string& folder);

    // The package type and creator of a folder, from its Info.plist ("CFBundlePackageType",
    // "CFBundleSignature") or else its PkgInfo file; false when it has neither.
    static bool ReadPackageInfo(const std::string& folder, std::uint32_t& type, std::uint32_t& creator);

    const std::string& Path() const { return path_; }
    // The information dictionary (empty when the bundle has none or it cannot be read).
    ConstPropertyValuePtr InfoDictionary() const { return info_; }
    bool InfoString(const std::string& key, std::string& value) const { return info_->GetString(key, value); }

    // The executable named by "CFBundleExecutable", when that file exists.
    bool ExecutablePath(std::string& path) const;
    // An auxiliary executable in the executable's folder, when it exists.
    bool AuxiliaryExecutablePath(const std::string& name, std::string& path) const;

    std::string ContentsPath() const;
    std::string ResourcesPath() const;
    std::string SharedSupportPath() const;
    // The libraries that belong to the bundle's program alone ("Contents/Frameworks").
    std::string PrivateFrameworksPath() const;

private:
    Bundle(const std::string& path, bool deep, ConstPropertyValuePtr info)
        : path_(path), deep_(deep), info_(info) {}

    std::string path_;
    bool deep_;  // the "Contents" layout
    ConstPropertyValuePtr info_;
};

}  // namespace platform
