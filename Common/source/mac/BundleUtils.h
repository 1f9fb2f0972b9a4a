// BundleUtils: the bundle of a folder, and the nearest enclosing bundle of a package type.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"

#include "platform/Bundle.h"

#include <cstdint>

namespace BundleUtils {

// A bundle for the folder; null when the folder does not exist or is no folder.
platform::BundlePtr CreateBundleFromPath(const FileSystemPath& folder);

// The nearest folder above the path (the path itself is never tested) whose package type is
// the given one; with mustHaveExecutable, only a bundle that names an existing executable
// counts. Null when there is none up to the root.
platform::BundlePtr CreateEnclosingCFBundleOfType(const FileSystemPath& path, std::uint32_t packageType,
                                                  bool mustHaveExecutable);

}  // namespace BundleUtils
