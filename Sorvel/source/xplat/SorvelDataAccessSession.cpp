// The data-access methods over the payload session: the default properties, the session with its
// payload descriptions, the payloads' licence texts and embedded streams, and the media record
// that the pages store for a payload.
#include "SorvelDataAccess.h"

#include "Common/source/xplat/Base64.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/JSONUtilities.h"
#include "Common/source/xplat/LocalizationUtilities.h"
#include "InstallerEngine.h"
#include "PayloadAccessor.h"
#include "PayloadMediaSource.h"
#include "PayloadSessionManager.h"
#include "SessionOrvexCodeToJSON.h"
#include "Shared/PayloadProxyFileConstants.h"
#include "Shared/ProxyFileDataStore.h"
#include "Shared/TolkConstants.h"
#include "SorvelJSPublisherUtilities.h"
#include "caps/CAPSSessionPtr.h"
#include "caps/caps.h"

#include <algorithm>
#include <iterator>
#include <sstream>

using SorvelJSPublisherUtilities::MakeJSONErrorObj;

namespace {

const int kSetupVersion[4] = {2, 0, 0, 0};

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

boost::shared_ptr<PayloadAccessor> AccessorFor(InstallerEngine* engine, const std::string& orvexCode)
{
    const boost::shared_ptr<PayloadSessionManager> session = engine->GetPayloadSessionManager();
    return session ? session->GetPayloadAccessorForOrvexCode(orvexCode) : boost::shared_ptr<PayloadAccessor>();
}

bool DecodeBase64(const std::string& text, std::string& decoded)
{
    std::string bytes;
    bool ok = false;
    ZEB::Base64Decode(text.begin(), text.end(), std::back_inserter(bytes), ok);
    if (ok)
        decoded.swap(bytes);
    return ok;
}

// A file name of one folder: no separator, nothing that leaves the folder.
bool IsPlainFileName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

}  // namespace

bool SorvelDataAccess::GetDefaultPropertiesMap(InstallerEngine* engine, PropertyMap& properties)
{
    if (engine == nullptr)
        return false;
    const boost::shared_ptr<PayloadSessionManager> session = engine->GetPayloadSessionManager();
    properties.clear();
    // Without a payload session there is no session key to name the properties by.
    if (!session)
        return false;

    const std::string sessionKey = session->GetSessionKey();
    std::ostringstream version;
    version << kSetupVersion[0] << '.' << kSetupVersion[1] << '.' << kSetupVersion[2] << '.' << kSetupVersion[3];
    properties.insert(std::make_pair(TolkConstants::kPropSessionID, sessionKey));
    properties.insert(std::make_pair(TolkConstants::kPropSetupVersion, version.str()));
    properties.insert(std::make_pair(TolkConstants::kPropSourcePath, engine->GetInstallerParentPath().AsUTF8String()));
    properties.insert(std::make_pair(std::string("platform"), PayloadProxyFileConstants::kPlatformCurrent));
    std::string language;
    if (LocalizationUtilities::GetUserInterfaceLanguage(language))
        properties.insert(std::make_pair(TolkConstants::kPropDefaultLanguage, language));

    // The install properties stored for the session's collection; the fixed ones above win.
    CAPSSessionPtr database;
    if (database.Open()) {
        capsStringList pairs = nullptr;
        if (capsGetCollectionDataKeysAndValues(database, sessionKey.c_str(), kCapsDomainProperties, &pairs) ==
                kCapsOK &&
            pairs != nullptr) {
            for (capsStringList pair = pairs; pair[0] != nullptr && pair[1] != nullptr; pair += 2)
                properties.insert(std::make_pair(std::string(pair[0]), std::string(pair[1])));
        }
        database.Close();
    }
    return true;
}

std::string SorvelDataAccess::GetDefaultProperties(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return WrongArgumentCount();
    PropertyMap properties;
    if (!GetDefaultPropertiesMap(engine_, properties))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    JSONUtilities::JSONObject answer;
    answer.AddPropertyMap(properties);
    return Serialized(answer);
}

std::string SorvelDataAccess::GetSessionData(const ArgumentList& arguments)
{
    if (!arguments.empty())
        return WrongArgumentCount();
    const boost::shared_ptr<PayloadSessionManager> session = engine_->GetPayloadSessionManager();
    if (!session)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);

    const std::string driver = session->GetDriverPayloadOrvexCode();
    JSONUtilities::JSONObject answer;
    answer.AddProperty("key", session->GetSessionKey());
    answer.AddProperty("driverPayloadID", driver);
    JSONUtilities::JSONObject* payloads = answer.AddObject("payloadMap");
    const std::vector<std::string> codes = session->GetSessionOrvexCodes();
    std::for_each(codes.begin(), codes.end(), SessionOrvexCodeToJSON(*payloads, engine_, driver));
    return Serialized(answer);
}

std::string SorvelDataAccess::GetEULASForOrvexCode(const ArgumentList& arguments)
{
    if (arguments.empty())
        return WrongArgumentCount();
    const std::string& orvexCode = arguments[0];
    const std::string language = arguments.size() == 2 ? arguments[1] : std::string();

    const boost::shared_ptr<PayloadAccessor> accessor = AccessorFor(engine_, orvexCode);
    if (!accessor || !accessor->proxyDataStore) {
        SorvelJSPublisherUtilities::ExtraPropertyMap extra;
        extra["orvexCode"] = orvexCode;
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed, extra);
    }
    PropertyMap eulas;
    if (!accessor->proxyDataStore->EULAFiles().Get(eulas))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);

    // A language the payload has no licence for is answered like no language: every licence,
    // decoded, so that the page can fall back on one (their stored Base64 text is no answer).
    const bool oneLanguage = !language.empty() && eulas.find(language) != eulas.end();
    for (PropertyMap::value_type& eula : eulas) {
        if (oneLanguage && eula.first != language)
            continue;
        std::string decoded;
        if (!DecodeBase64(eula.second, decoded)) {
            LogError("SorvelDataAccess::GetEULASForOrvexCode - Decode of EULA failed");
            SorvelJSPublisherUtilities::ExtraPropertyMap extra;
            extra["name"] = eula.first;
            return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultDataDecodeFailed, extra);
        }
        eula.second = decoded;
        if (oneLanguage) {
            JSONUtilities::JSONObject answer;
            answer.AddProperty(eula.first, eula.second);
            return Serialized(answer);
        }
    }
    JSONUtilities::JSONObject answer;
    answer.AddPropertyMap(eulas);
    return Serialized(answer);
}

std::string SorvelDataAccess::GetStreamsForOrvexCode(const ArgumentList& arguments)
{
    if (arguments.size() != 1)
        return WrongArgumentCount();
    const std::string& orvexCode = arguments[0];
    const std::map<std::string, std::string>::const_iterator stored = streamAnswers_.find(orvexCode);
    if (stored != streamAnswers_.end())
        return stored->second;

    const boost::shared_ptr<PayloadAccessor> accessor = AccessorFor(engine_, orvexCode);
    if (!accessor || !accessor->proxyDataStore)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultBadArgument);
    std::vector<PayloadProxy::Stream> streams;
    accessor->proxyDataStore->StreamNodes().Get(std::back_inserter(streams));
    if (streams.empty())
        return streamAnswers_[orvexCode] = "{}";

    FileSystemPath folder(std::string("/"));
    if (!FileSystemUtils::GetTempDirectory(folder))
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultTempFileWriteFailed);

    JSONUtilities::JSONObject answer;
    JSONUtilities::JSONObjectArray* list = answer.AddObjectArray("Streams");
    for (PayloadProxy::Stream& stream : streams) {
        std::string name, fileName, meta, text;
        stream.StreamName().Get(name);
        stream.FileName().Get(fileName);
        stream.StreamMeta().Get(meta);
        stream.GetValue(text);
        std::string decoded;
        // The file name comes from the medium: one that would place the file outside the
        // temporary folder is left out like a stream that does not decode.
        if (!DecodeBase64(text, decoded) || !IsPlainFileName(orvexCode + fileName))
            continue;
        FileSystemPath path(folder);
        path.AppendUTF8Segment(orvexCode + fileName);
        if (!ImplSaveBinaryStream(path, std::vector<unsigned char>(decoded.begin(), decoded.end())))
            continue;
        JSONUtilities::JSONObject* entry = list->AddObject();
        entry->AddProperty("name", name);
        entry->AddProperty("meta", meta);
        entry->AddProperty("path", path.AsUTF8String());
        writtenStreamFiles_.push_back(path);
    }
    return streamAnswers_[orvexCode] = Serialized(answer);
}

std::string SorvelDataAccess::UpdateMediaInfoInCaps(const ArgumentList& arguments)
{
    if (arguments.size() != 5)
        return WrongArgumentCount();
    CAPSSessionPtr database;
    if (!database.Open())
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    const bool written = PayloadMediaSource::SetCAPSMediaInformation(database, arguments[0], arguments[1],
                                                                      arguments[2], arguments[3], arguments[4]);
    // What was written before a failure stays, as the pages expect of this call; a commit that
    // fails has lost every write and says so.
    const bool committed = database.Commit();
    if (!committed)
        database.Rollback();
    database.Close();
    if (!written || !committed)
        return MakeJSONErrorObj(SorvelJSPublisherUtilities::kJSResultPlatformCallFailed);
    JSONUtilities::JSONObject answer;
    answer.AddProperty("success", 1);
    return Serialized(answer);
}
