#include "SorvelUserInterfaceJSPublisher.h"

#include "Common/source/xplat/ChangeDiffTypeImpl.h"
#include "Common/source/xplat/HexMD5Digest.h"
#include "Common/source/xplat/JSONUtilities.h"
#include "Common/source/xplat/XmlDocumentWriter.h"
#include "DataAccessUtilities.h"
#include "InstallerEngine.h"
#include "PayloadAccessor.h"
#include "PayloadSessionManager.h"
#include "SorvelJSPublisherUtilities.h"

#include <exception>
#include <sstream>

using SorvelJSPublisherUtilities::MakeJSONErrorObj;

namespace {

const char kDefaultLocationTitle[] = "Select Location";
const char kDefaultLocationSubtitle[] = "Please select a location to install this software.";
const char kErrorFramePageName[] = "errors.html";
const char kPayloadListPageName[] = "payloads.html";

const char kXHTMLFramesetDoctype[] =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Frameset//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-frameset.dtd\">";
const char kXHTMLStartTag[] = "<html xmlns=\"http://www.w3.org/1999/xhtml\">";

// Window sizes and switches come as decimal text. The stream conversion would read "-1" as a
// huge unsigned number, which no window should be asked to take, so a sign is refused too.
bool ToUInt32(const std::string& text, std::uint32_t& value)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    return ZEB::ChangeDiffTypeImpl<std::string, std::uint32_t>::ChangeType(text, value);
}

std::string ObjectWithOneProperty(const std::string& name, const std::string& value)
{
    JSONUtilities::JSONObject answer;
    answer.AddProperty(name, value);
    std::ostringstream text;
    answer.Serialize(text);
    return text.str();
}

// Display name -> manifest error text of every payload of the session that has such a text; a
// display name met again keeps its first text. Nothing without an engine or a session.
void CollectManifestErrors(InstallerEngine* engine, std::map<std::string, std::string>& errors)
{
    if (engine == nullptr)
        return;
    boost::shared_ptr<PayloadSessionManager> session = engine->GetPayloadSessionManager();
    if (!session)
        return;
    for (PayloadSessionManager::PayloadIterator payload = session->PayloadsBegin(); payload != session->PayloadsEnd();
         ++payload) {
        const boost::shared_ptr<PayloadAccessor>& accessor = payload->second;
        if (!accessor || !accessor->proxyDataStore)
            continue;
        std::string text;
        accessor->proxyDataStore->ManifestErrors().Get(text);
        if (text.empty())
            continue;
        std::string displayName = payload->first;
        std::string code, productName, productVersion, created;
        if (DataAccessUtilities::GetPayloadPropertiesFromAccesssor(accessor, code, productName, productVersion,
                                                                   created))
            displayName = productName + " " + productVersion + " (" + created + ")";
        errors.insert(std::make_pair(displayName, text));
    }
}

// The payload list page and one page per payload, added to pages (a name met again keeps its
// first page). Names and texts come from the medium: they go in as text, so that a page shows
// exactly their characters and runs nothing that they hold.
void AddManifestErrorPages(const std::map<std::string, std::string>& errors, std::map<std::string, std::string>& pages)
{
    std::string list;
    list += kXHTMLFramesetDoctype;
    list += kXHTMLStartTag;
    list += "<head>";
    list += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\" />";
    list += "<title>Payload Manifest Errors</title>";
    list += "<style type=\"text/css\">";
    list += "body {background-color: #FFFFFF;font-family: Verdana, Tahoma, Arial, Helvetica, sans-serif;"
            "font-size: 14px;color: #000000;}";
    list += "a {font-size: 14px;color: #990000; }";
    list += "</style>";
    list += "</head>";
    list += "<body>";
    list += "The following payloads have errors associated with them:";
    list += "<ul>";
    for (const auto& entry : errors) {
        const std::string fileName = ZEB::HexMD5Digest(entry.first.begin(), entry.first.end()) + ".html";
        list += "<li><a href=\"" + fileName + "\" target=\"errors\">" + XmlDocumentWriter::EscapedText(entry.first) +
                "</a></li>";
        pages.insert(std::make_pair(fileName, XmlDocumentWriter::EscapedText(entry.second)));
    }
    list += "</ul></body></html>";
    pages[kPayloadListPageName] = list;
}

}  // namespace

const char SorvelUserInterfaceJSPublisher::kErrorFramePage[] =
    "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Frameset//EN\" "
    "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-frameset.dtd\">\n"
    "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n"
    "<head>\n"
    "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\" />\n"
    "<title>Session Payload Errors</title>\n"
    "</head>\n"
    "<frameset cols=\"200,*\" frameborder=\"yes\" border=\"2px\" framespacing=\"0\">\n"
    "  <frame src=\"payloads.html\" name=\"payloadList\" id=\"payloadList\" title=\"PayloadList\" scrolling=\"auto\" />\n"
    "  <frame src=\"about:blank\" name=\"errors\" id=\"errors\" title=\"Errors\" />\n"
    "</frameset>\n"
    "<noframes><body>\n"
    "</body>\n"
    "</noframes></html>\n";

SorvelUserInterfaceJSPublisher::SorvelUserInterfaceJSPublisher(InstallerEngine* engine, Logger* logger)
    : engine_(engine), logger_(logger), platformData_(new PlatformData)
{
    RegisterJSMemberMethod("UIResizeWindow", &SorvelUserInterfaceJSPublisher::UIResizeWindow);
    RegisterJSMemberMethod("UIShowWindow", &SorvelUserInterfaceJSPublisher::UIShowWindow);
    RegisterJSMemberMethod("UISetWindowTitle", &SorvelUserInterfaceJSPublisher::UISetWindowTitle);
    RegisterJSMemberMethod("UISetCloseBoxEnabled", &SorvelUserInterfaceJSPublisher::UISetCloseBoxEnabled);
    RegisterJSMemberMethod("UIEjectRemovableMedia", &SorvelUserInterfaceJSPublisher::UIEjectRemovableMedia);
    RegisterJSMemberMethod("UISelectInstallLocation", &SorvelUserInterfaceJSPublisher::UISelectInstallLocation);
    RegisterJSMemberMethod("UIExitDialog", &SorvelUserInterfaceJSPublisher::UIExitDialog);
    RegisterJSMemberMethod("UIGetPasteboardValue", &SorvelUserInterfaceJSPublisher::UIGetPasteboardValue);
    RegisterJSMemberMethod("UIShowModalAlert", &SorvelUserInterfaceJSPublisher::UIShowModalAlert);
    RegisterJSMemberMethod("UIShowManifestErrors", &SorvelUserInterfaceJSPublisher::UIShowManifestErrors);
}

SorvelUserInterfaceJSPublisher::~SorvelUserInterfaceJSPublisher()
{
    platformData_.reset();
}

std::string SorvelUserInterfaceJSPublisher::UIResizeWindow(const ArgumentList& arguments)
{
    if (arguments.size() != 2)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    if (!ToUInt32(arguments[0], width) || !ToUInt32(arguments[1], height))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument);
    if (!ImplResizeWindow(platformData_.get(), width, height))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    return std::string();
}

std::string SorvelUserInterfaceJSPublisher::UIShowWindow(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    std::uint32_t visible = 0;
    if (!ToUInt32(arguments[0], visible))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument);
    if (!ImplShowWindow(platformData_.get(), visible != 0))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    return std::string();
}

std::string SorvelUserInterfaceJSPublisher::UISetWindowTitle(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    if (arguments[0].empty())
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument);
    try {
        if (!ImplSetWindowTitle(platformData_.get(), arguments[0]))
            return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    } catch (const std::exception&) {
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    }
    return std::string();
}

std::string SorvelUserInterfaceJSPublisher::UISetCloseBoxEnabled(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    if (arguments[0].empty())
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument);
    try {
        std::uint32_t enabled = 0;
        if (!ToUInt32(arguments[0], enabled) || !ImplSetCloseBoxEnabled(platformData_.get(), enabled != 0))
            return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    } catch (const std::exception&) {
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    }
    return std::string();
}

std::string SorvelUserInterfaceJSPublisher::UIEjectRemovableMedia(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    if (arguments[0].empty())
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument);
    try {
        // Whether the medium went away is for the page to see; the request itself is the answer.
        ImplEjectRemovableMedia(platformData_.get(), arguments[0]);
    } catch (const std::exception&) {
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    }
    return std::string();
}

std::string SorvelUserInterfaceJSPublisher::UISelectInstallLocation(const ArgumentList& arguments)
{
    if (arguments.empty())
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    const std::string title = arguments.size() > 1 ? arguments[1] : std::string(kDefaultLocationTitle);
    const std::string subtitle = arguments.size() > 2 ? arguments[2] : std::string(kDefaultLocationSubtitle);
    std::string chosen;
    if (!ImplSelectLocation(platformData_.get(), arguments[0], title, subtitle, chosen))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    return ObjectWithOneProperty("path", chosen);
}

std::string SorvelUserInterfaceJSPublisher::UIExitDialog(const ArgumentList& arguments)
{
    if (arguments.empty())
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    if (!ImplExitDialog(platformData_.get(), arguments))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    return std::string();
}

std::string SorvelUserInterfaceJSPublisher::UIGetPasteboardValue(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    std::string value;
    if (!ImplGetPasteboardValue(platformData_.get(), value))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    return ObjectWithOneProperty("value", value);
}

std::string SorvelUserInterfaceJSPublisher::UIShowModalAlert(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
    if (arguments[0].empty())
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument);
    std::string exitText;
    try {
        if (!ImplShowModalAlert(platformData_.get(), arguments[0], exitText))
            return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    } catch (const std::exception&) {
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    }
    return ObjectWithOneProperty("returnValue", exitText);
}

std::string SorvelUserInterfaceJSPublisher::UIShowManifestErrors(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);

    std::map<std::string, std::string> errors;
    CollectManifestErrors(engine_, errors);
    if (errors.empty())
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultNoManifestErrors);

    std::map<std::string, std::string> pages;
    pages[kErrorFramePageName] = kErrorFramePage;
    AddManifestErrorPages(errors, pages);
    if (!ImplSavePagesAndLaunch(platformData_.get(), pages, kErrorFramePageName))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    return "{}";
}
