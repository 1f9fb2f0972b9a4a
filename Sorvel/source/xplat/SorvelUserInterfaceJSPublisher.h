// SorvelUserInterfaceJSPublisher: the window calls of the script interface: resize, show and
// title the window, its close box, ejecting a medium, choosing a folder, ending the dialog, the
// pasteboard, the modal HTML alert and the pages of the payloads' manifest errors. The handlers
// check the arguments and build the answers; the Impl operations (the platform half) hand the
// calls to the window controller kept in the platform data, or to the system.
#pragma once

#include "JSMethodPublisher.h"

#include <boost/noncopyable.hpp>
#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <map>
#include <string>

class InstallerEngine;
class Logger;
class SVLSorvelUIDelegateProtocol;

class SorvelUserInterfaceJSPublisher : public JSMethodPublisher<SorvelUserInterfaceJSPublisher>,
                                       private boost::noncopyable {
public:
    // What the platform half needs: the controller of the window this publisher serves. Its
    // creator stores the controller right after construction; it is not owned and outlives the
    // publisher's use.
    struct PlatformData {
        SVLSorvelUIDelegateProtocol* windowController = nullptr;
    };

    // The engine is needed only by "UIShowManifestErrors"; neither pointer is owned.
    SorvelUserInterfaceJSPublisher(InstallerEngine* engine, Logger* logger);
    ~SorvelUserInterfaceJSPublisher() override;

    const boost::shared_ptr<PlatformData>& GetPlatformData() const { return platformData_; }

    // The frame page "errors.html" of the manifest error pages, written unchanged.
    static const char kErrorFramePage[];

    // ---- Script methods (IDs 0 to 9 in this order) ----
    std::string UIResizeWindow(const ArgumentList& arguments);
    std::string UIShowWindow(const ArgumentList& arguments);
    std::string UISetWindowTitle(const ArgumentList& arguments);
    std::string UISetCloseBoxEnabled(const ArgumentList& arguments);
    std::string UIEjectRemovableMedia(const ArgumentList& arguments);
    std::string UISelectInstallLocation(const ArgumentList& arguments);
    std::string UIExitDialog(const ArgumentList& arguments);
    std::string UIGetPasteboardValue(const ArgumentList& arguments);
    std::string UIShowModalAlert(const ArgumentList& arguments);
    std::string UIShowManifestErrors(const ArgumentList& arguments);

    // ---- Platform operations: false when the platform data or its controller is missing ----
    static bool ImplResizeWindow(PlatformData* data, std::uint32_t width, std::uint32_t height);
    static bool ImplShowWindow(PlatformData* data, bool visible);
    static bool ImplSetWindowTitle(PlatformData* data, const std::string& title);
    // False also when the controller has no close box to switch.
    static bool ImplSetCloseBoxEnabled(PlatformData* data, bool enabled);
    static bool ImplSelectLocation(PlatformData* data, const std::string& startFolder, const std::string& title,
                                   const std::string& subtitle, std::string& result);
    static bool ImplExitDialog(PlatformData* data, const ArgumentList& arguments);
    static bool ImplShowModalAlert(PlatformData* data, const std::string& html, std::string& result);
    static bool ImplEjectRemovableMedia(PlatformData* data, const std::string& path);
    static bool ImplGetPasteboardValue(PlatformData* data, std::string& result);
    // Writes the pages (file name -> content) into "Tolk Setup Errors" on the user's Desktop
    // and opens the one named launchName; true when all were written and that one was opened.
    static bool ImplSavePagesAndLaunch(PlatformData* data, const std::map<std::string, std::string>& pages,
                                       const std::string& launchName);

private:
    InstallerEngine* engine_;
    Logger* logger_;
    boost::shared_ptr<PlatformData> platformData_;
};
