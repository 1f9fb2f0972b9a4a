// The data-access publisher itself: construction with its method table, and the methods that read
// the build information, the command line, string tables and the session flag.
#include "SorvelDataAccess.h"

#include "Common/source/xplat/ChangeDiffTypeImpl.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/JSONUtilities.h"
#include "Common/source/xplat/Logger.h"
#include "Common/source/xplat/RunReport.h"
#include "Common/source/xplat/XmlDocument.h"
#include "DeploymentFileDataStore.h"
#include "InstallerEngine.h"
#include "SorvelJSPublisherUtilities.h"
#include "StringNodeToJSON.h"

#include <boost/shared_ptr.hpp>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <stdexcept>

using SorvelJSPublisherUtilities::MakeJSONErrorObj;
using SorvelJSPublisherUtilities::MakeJSONSuccessObj;

namespace {

// The version of the installer technology and the oldest version it accepts.
const int kTolkVersion[4] = {2, 0, 0, 0};
const char kCompatibleLowerBound[] = "0.0.66.0";

std::string Serialized(const JSONUtilities::JSONBase& answer)
{
    std::ostringstream text;
    answer.Serialize(text);
    return text.str();
}

std::string WrongArgumentCount()
{
    return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultWrongArgumentCount);
}

}  // namespace

SorvelDataAccess::SorvelDataAccess(InstallerEngine* engine, Logger* logger) : logger_(logger), engine_(engine)
{
    if (engine == nullptr)
        throw std::runtime_error("InstallerEngine instance not provided to SorvelDataAccess ctor");

    // The order fixes the method IDs 0 to 23.
    RegisterJSMemberMethod("GetTolkBuildInfo", &SorvelDataAccess::GetTolkBuildInfo);
    RegisterJSMemberMethod("GetDefaultProperties", &SorvelDataAccess::GetDefaultProperties);
    RegisterJSMemberMethod("GetSessionData", &SorvelDataAccess::GetSessionData);
    RegisterJSMemberMethod("GetEULASForOrvexCode", &SorvelDataAccess::GetEULASForOrvexCode);
    RegisterJSMemberMethod("GetRunningApplications", &SorvelDataAccess::GetRunningApplications);
    RegisterJSMemberMethod("LoadFile", &SorvelDataAccess::LoadFile);
    RegisterJSMemberMethod("GetSystemInfo", &SorvelDataAccess::GetSystemInfo);
    RegisterJSMemberMethod("GetCommandLineArguments", &SorvelDataAccess::GetCommandLineArguments);
    RegisterJSMemberMethod("GetFixedDriveInfo", &SorvelDataAccess::GetFixedDriveInfo);
    RegisterJSMemberMethod("GetStreamsForOrvexCode", &SorvelDataAccess::GetStreamsForOrvexCode);
    RegisterJSMemberMethod("GetVolumeStatisticsFromPath", &SorvelDataAccess::GetVolumeStatisticsFromPath);
    RegisterJSMemberMethod("GetCAPS", &SorvelDataAccess::GetCAPS);
    RegisterJSMemberMethod("GetPathInformation", &SorvelDataAccess::GetPathInformation);
    RegisterJSMemberMethod("GetDirectoryTokenMap", &SorvelDataAccess::GetDirectoryTokenMap);
    RegisterJSMemberMethod("GetUserInfo", &SorvelDataAccess::GetUserInfo);
    RegisterJSMemberMethod("IsRestartNeeded", &SorvelDataAccess::IsRestartNeeded);
    RegisterJSMemberMethod("GetStringsForLanguage", &SorvelDataAccess::GetStringsForLanguage);
    RegisterJSMemberMethod("IsPortForProtocolAvailable", &SorvelDataAccess::IsPortForProtocolAvailable);
    RegisterJSMemberMethod("SetSessionInitialized", &SorvelDataAccess::SetSessionInitialized);
    RegisterJSMemberMethod("GetPayloadPhysicalInstallState", &SorvelDataAccess::GetPayloadPhysicalInstallState);
    RegisterJSMemberMethod("GetApplicationsForFileExtension", &SorvelDataAccess::GetApplicationsForFileExtension);
    RegisterJSMemberMethod("GetApplicationInfo", &SorvelDataAccess::GetApplicationInfo);
    RegisterJSMemberMethod("GetApplicationInfoFromIdentifier", &SorvelDataAccess::GetApplicationInfoFromIdentifier);
    RegisterJSMemberMethod("UpdateMediaInfoInCaps", &SorvelDataAccess::UpdateMediaInfoInCaps);
}

SorvelDataAccess::~SorvelDataAccess()
{
}

void SorvelDataAccess::LogError(const std::string& text) const
{
    if (logger_ != nullptr)
        logger_->AppendToLog(LogAppender::kLogError, text);
}

std::string SorvelDataAccess::GetTolkBuildInfo(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return WrongArgumentCount();
    std::ostringstream upperBound;
    upperBound << kTolkVersion[0] << '.' << kTolkVersion[1] << '.' << kTolkVersion[2] << '.' << kTolkVersion[3];
    JSONUtilities::JSONObject answer;
    JSONUtilities::JSONObject* version = answer.AddObject("Version");
    version->AddProperty("major", kTolkVersion[0]);
    version->AddProperty("minor", kTolkVersion[1]);
    version->AddProperty("revision", kTolkVersion[2]);
    version->AddProperty("build", kTolkVersion[3]);
    version->AddProperty("compatibleUpperBound", upperBound.str());
    version->AddProperty("compatibleLowerBound", std::string(kCompatibleLowerBound));
    return Serialized(answer);
}

std::string SorvelDataAccess::GetCommandLineArguments(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return WrongArgumentCount();

    JSONUtilities::JSONObject answer;
    PropertyMap properties;
    const boost::shared_ptr<InstallerEngine::StringMap> commandLine = engine_->GetArgumentMap();
    const InstallerEngine::StringMap none;
    for (const InstallerEngine::StringMap::value_type& argument : commandLine ? *commandLine : none) {
        if (argument.first != "deploymentFile") {
            properties.insert(argument);
            continue;
        }
        const FileSystemPath path = FileSystemPath::PathFromUTF8(argument.second);
        // The script that asked reports the failure in its own words; the file is named here.
        const auto refuse = [&](const std::string& logText, const std::string& cause) {
            LogError(logText + argument.second);
            RunReport::NoteCause("The deployment file \"" + path.AsUTF8String() + "\" " + cause);
            return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultDeploymentFileFailed);
        };
        if (!FileSystemUtils::Exists(path))
            return refuse("Deployment file does not exist: ", "does not exist.");
        DeploymentFile::DeploymentFileDataStore deployment;
        if (!deployment.Load(path.AsUTF8String()))
            return refuse("Unable to load deployment file: ", "is not an XML file that Setup can read.");
        JSONUtilities::JSONObject* data = answer.AddObject("DeploymentData");
        PropertyMap deployed;
        deployment.Properties().Get(deployed);
        data->AddObject("Properties")->AddPropertyMap(deployed);
        JSONUtilities::JSONObjectArray* actions = data->AddObjectArray("PayloadActions");
        std::vector<DeploymentFile::PayloadData> payloads;
        if (!deployment.Payloads().Get(std::back_inserter(payloads))) {
            return refuse("Failed to read payload options from deployment file: ",
                          "has payload entries that Setup cannot read.");
        }
        for (DeploymentFile::PayloadData& payload : payloads) {
            std::string code, action;
            payload.OrvexCode().Get(code);
            payload.Action().Get(action);
            JSONUtilities::JSONObject* entry = actions->AddObject();
            entry->AddProperty("orvexCode", code);
            entry->AddProperty("action", action);
        }
    }
    answer.AddObject("Properties")->AddPropertyMap(properties);
    return Serialized(answer);
}

std::string SorvelDataAccess::GetStringsForLanguage(const ArgumentList& arguments)
{
    if (arguments.empty())
        return WrongArgumentCount();
    const std::string language = arguments.size() == 2 ? arguments[1] : std::string();

    const FileSystemPath path(arguments[0]);
    if (!FileSystemUtils::Exists(path))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultFileLoadFailed);
    boost::shared_ptr<XmlDocument> document;
    if (!XmlDocument::Load(path.AsUTF8String(), document) || !document)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultDataDecodeFailed);

    JSONUtilities::JSONObject answer;
    unsigned long counter = 0;
    const std::vector<XmlNode> entries = document->DocumentElement().ChildNodes();
    std::for_each(entries.begin(), entries.end(), StringNodeToJSON(answer, language, counter));
    if (counter == 0)
        return "{}";
    return Serialized(answer);
}

std::string SorvelDataAccess::SetSessionInitialized(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return WrongArgumentCount();
    // Anything that is not a decimal integer leaves the flag clear.
    int value = 0;
    ZEB::ChangeDiffTypeImpl<std::string, int>::ChangeType(arguments[0], value);
    const bool initialized = value != 0;
    engine_->SetSessionInitialized(initialized);
    const std::string answer = MakeJSONSuccessObj();
    try {
        ImplOnSessionInitializedUpdate(initialized, engine_->bootstrapping_, logger_);
    } catch (...) {
        // The flag is set and the page has its answer; a platform hook's trouble changes neither.
    }
    return answer;
}
