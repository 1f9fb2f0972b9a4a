// QENGlobalsLC: the script globals of a command-payload run: 16 read-only constants and 50
// functions that build commands for the engine, query the engine and the system, report progress
// and what the user should be told, and record the uninstall script. One per script engine,
// added to its global object. While the scripts report no progress of their own, the globals
// measure it by the files of the payload image that the scripts copy or compare.
//
// Each function is a body of the form QENGlobalsLC::Function, declared in QENGlobalFunctions.h
// and listed with its identifier in the function table of QENGlobalsTable.cpp; a function that
// has no body there answers code 24 like an unknown identifier.
#pragma once

#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/LogAppender.h"
#include "QEN/source/mac/QENController.h"
#include "QEN/source/mac/QENEngine.h"
#include "QENImageProgress.h"
#include "caps/caps.h"

#include "platform/script/Mivor.h"

#include <cstdint>
#include <string>
#include <vector>

class QENGlobalsLC : public Mivor::LiveComponent {
public:
    // Codes a call ends with; 0 succeeds, any other makes the script call fail.
    enum CallCode {
        kCodeOK = 0,
        kCodeRelocationReadFailed = 1,
        kCodeBadArgumentValue = 19,
        kCodeWrongArgumentCount = 20,
        kCodeNoSuchFunction = 24,
        kCodeException = -29,
        kCodeCAPSLocked = -33,
        kCodeTerminated = -34,
        kCodeUnexpectedResult = -36,
    };

    // Identifiers of the table entries, in table order: the constants, then the functions.
    enum PropertyID : std::uint32_t {
        kID_DISPLAY_ATTRIBUTE_IS_INVISIBLE = 0x51430001,  // 'QC' and the entry's place
        kID_DISPLAY_ATTRIBUTE_HAS_CUSTOM_ICON,
        kID_ORVEX_FILE_TYPE_UNKNOWN,
        kID_ORVEX_FILE_TYPE_PLATFORM_NATIVE,
        kID_ORVEX_FILE_TYPE_COLOR_PROFILE,
        kID_ORVEX_FILE_TYPE_FONT_OTF,
        kID_ORVEX_FILE_TYPE_FONT_PFB,
        kID_ORVEX_FILE_TYPE_UNICODE_MAP,
        kID_ORVEX_FILE_TYPE_ICU,
        kID_ORVEX_FILE_TYPE_FONT_DATABASE,
        kID_ORVEX_FILE_TYPE_CMAP,
        kID_ORVEX_FILE_TYPE_JSX,
        kID_ORVEX_FILE_TYPE_RESERVED,
        kID_kCapsDomainInstaller,
        kID_kCapsDomainKuv,
        kID_kCapsDomainInstallProperties,

        kID_QENChmodCommand = 0x51460001,  // 'QF' and the function's place
        kID_QENChownCommand,
        kID_QENCreateDirectory,
        kID_QENDeleteDirectory,
        kID_QENCopyFile,
        kID_QENDeleteFile,
        kID_QENCreateSymlink,
        kID_QENDeleteSymlink,
        kID_QENCopySymlink,
        kID_QENCreateMacAlias,
        kID_QENRetargetMacAlias,
        kID_QENSetDisplayAttributes,
        kID_QENRemovePDFSettingEntry,
        kID_QENWritePDFSettingEntry,
        kID_QENSpawn,
        kID_QENOrvexSelfHeal,
        kID_QENOrvexSelfHealUninstall,
        kID_QENCAPSRemoveCollectionData,
        kID_QENCAPSRemovePayloadData,
        kID_QENCAPSWriteCollectionData,
        kID_QENCAPSWritePayloadData,
        kID_QENServiceInstall,
        kID_QENServiceControl,
        kID_QENServiceMonitor,
        kID_QENAddFirewallEntry,
        kID_QENRemoveFirewallEntry,
        kID_QENGetProperty,
        kID_QENSetProperty,
        kID_QENGetAllPropertyKeys,
        kID_QENGetRawSessionProperties,
        kID_QENGetCapsCollectionDataKeysAndValues,
        kID_QENGetCapsPayloadDataKeysAndValues,
        kID_QENPathExists,
        kID_QENGetPathChildren,
        kID_QENGetVolumePathForPath,
        kID_QENIsFileEmpty,
        kID_QENGetBrowserPaths,
        kID_QENGlobTest,
        kID_QENLogMessage,
        kID_QENGetOrvexFileVersion,
        kID_QENGetVersionPlistVersion,
        kID_QENSetFractionComplete,
        kID_QENAddToUninstallScript,
        kID_QENSaveUninstallScript,
        kID_QENStoreRelocationData,
        kID_QENDeleteRelocationData,
        kID_QENGetRelocationData,
        kID_QENRegisterApplications,
        kID_QENFileContentsMatch,
        kID_QENSetStatusArgument,
    };

    // A function's body: checks and converts the arguments, acts, sets the result and answers
    // the call's code. The result is undefined when the body starts; an exception out of a body
    // ends the call with code -29.
    typedef int (*Function)(QENGlobalsLC& globals, const Mivor::Array& arguments, Mivor::Variant& result);

    struct FunctionEntry {
        std::uint32_t id;
        Function body;
    };

    // The property table (66 entries and the end entry) and the function bodies (ended by an
    // entry with a null body).
    static const Mivor::LivePropertyInfo myTable[];
    static const FunctionEntry myFunctions[];

    QENGlobalsLC(QENEngine& engine, QENController& controller, LogAppender& log);
    ~QENGlobalsLC() override;

    int get(Mivor::LiveObject* object, std::uint32_t id, Mivor::Variant& result, Mivor::Error* error) override;
    int call(Mivor::LiveObject* object, std::uint32_t id, const Mivor::Array& arguments, Mivor::Variant& result,
             Mivor::Error* error) override;

    // ---- For the function bodies ----

    QENEngine& Engine() { return engine_; }
    QENController& Controller() { return controller_; }
    // The engine's log filter: the sink of every command the globals build and of their messages.
    LogAppender& Log() { return log_; }
    // The run's progress as the image measures it (see QENImageProgress).
    QENImageProgress& ImageProgress() { return imageProgress_; }

    // Hands a built command to the engine and turns the processing result into the script
    // result (true only when performed) and the call's code, which it answers.
    int ProcessCommand(const QENCommandPtr& command, Mivor::Variant& result);
    static int SetProcessingResult(QENEngine::ProcessCommandResult processed, Mivor::Variant& result);

    // The installation-database lock: once a database-writing function has run its command, its
    // transaction holds the database until the engine commits or rolls back. The lock covers one
    // payload's section of the run: an install plays the stored scripts of the payloads it
    // upgrades before its own, and each of them may record its payload's removal, as the new
    // payload records itself. The engine opens each section (BeginPayloadSection); the
    // database commands of all sections share one transaction (QENCAPSRunSession).
    bool IsCAPSLocked() const { return capsLocked_; }
    void LockCAPS() { capsLocked_ = true; }
    void BeginPayloadSection()
    {
        capsLocked_ = false;
        imageProgress_.BeginPayloadSection();
    }
    // While locked: logs "Unexpected call to <name> after CAPS has been locked." and answers -33;
    // otherwise 0.
    int RefuseWhileCAPSLocked(const std::string& functionName);

    // ---- Argument conversions ----

    // The script's text of the value (undefined becomes "undefined"), as UTF-8.
    static std::string ToUTF8String(const Mivor::Variant& value);
    // The value's text as a path; throws std::runtime_error (code -29) when it is no absolute path
    // or too long, its text saying why (the call's error then says so).
    static FileSystemPath ToPath(const Mivor::Variant& value);
    // Undefined and null give the empty string.
    static std::string ToOptionalUTF8String(const Mivor::Variant& value);
    static std::int32_t ToInteger(const Mivor::Variant& value) { return value.getInt(); }
    static bool ToBoolean(const Mivor::Variant& value) { return value.getBool(); }
    // The elements as strings; false (list untouched) when the value is no array.
    static bool ToUTF8StringList(const Mivor::Variant& value, std::vector<std::string>& strings);
    // One of the three data domains (0, 3, 5); false for any other value.
    static bool VariantToCapsDomain(const Mivor::Variant& value, capsDomain& domain);
    // A script string of the UTF-8 text.
    static void SetUTF8String(Mivor::Variant& result, const std::string& text);

private:
    Mivor::LivePropertyManager propertyManager_;
    QENEngine& engine_;
    QENController& controller_;
    LogAppender& log_;
    bool capsLocked_;
    QENImageProgress imageProgress_;
};
