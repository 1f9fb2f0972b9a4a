#include "InstallerEngine.h"

#include "Common/source/mac/TQInitManager.h"
#include "Common/source/xplat/ChangeDiffTypeImpl.h"
#include "Common/source/xplat/RunReport.h"
#include "FailureReport.h"
#include "PayloadSessionManager.h"
#include "Shared/TolkConstants.h"
#include "ThreadPayloadOperation.h"
#include "UIDriverFullGUI.h"
#include "UIDriverSilentJSWorkflow.h"
#include "UIDriverTerminal.h"
#include "UIThreadOperationManager.h"
#include "UserInterfaceMessagePrompt.h"

#include "platform/FaultInjection.h"
#include "platform/formats/UnicodeText.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>
#include <iostream>
#include <stdexcept>

namespace {

const std::int32_t kUIModeFullGUI = 0;
const std::int32_t kUIModeTerminal = 1;
const std::int32_t kUIModeSilent = 2;

const int kExitBadArguments = 1;
const int kExitOutputFailed = 1;  // terminal mode's output could not be written
const int kExitScriptingEngine = 3;
const int kExitDriverFailed = 4;
const int kExitException = 9999;

// The first argument (after the program's path) that is not UTF-8, shown with its stray bytes as
// \xNN; empty when every one is UTF-8.
std::string FirstNonUTF8Argument(const std::vector<std::string>& arguments)
{
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        platform::UnicodeText text;
        if (!platform::UnicodeText::FromUTF8(arguments[i], text))
            return platform::UnicodeText::ShowBytes(arguments[i]);
    }
    return std::string();
}

}  // namespace

InstallerEngine::InstallerEngine(const FileSystemPath& installerParent)
    : bootstrapping_(false),
      uiMode_(kUIModeFullGUI),
      installerParent_(installerParent),
      propertyMap_(new StringMap),
      exitCode_(0),
      sessionInitialized_(false)
{
}

InstallerEngine::~InstallerEngine()
{
    // The thread object must outlive its job, and the job uses the request queue and the prompt
    // list destroyed below: wait for a job that still runs, freeing a question it waits on.
    if (installThread_ && installThread_->IsRunning())
        installThread_->Abort();
    sessionManager_.reset();
}

bool InstallerEngine::ProcessArgumentVector(const std::vector<std::string>& arguments)
{
    argumentMap_.reset(new StringMap);
    ArgumentsToArgumentKeyValuePairs(arguments.begin(), arguments.end(),
                                     std::inserter(*argumentMap_, argumentMap_->end()));
    StringMap::const_iterator mode = argumentMap_->find("mode");
    if (mode == argumentMap_->end())
        return true;
    if (mode->second == "gui" || mode->second == "GUI")
        uiMode_ = kUIModeFullGUI;
    else if (mode->second == "terminal" || mode->second == "Terminal")
        uiMode_ = kUIModeTerminal;
    else if (mode->second == "silent" || mode->second == "Silent")
        uiMode_ = kUIModeSilent;
    else
        return false;
    return true;
}

std::string InstallerEngine::CreateUIDriver()
{
    switch (uiMode_) {
    case kUIModeTerminal:
        uiDriver_.reset(new UIDriverTerminal(*this));
        return "Terminal";
    case kUIModeSilent:
        uiDriver_.reset(new UIDriverSilentJSWorkflow(*this));
        return "Silent";
    default:
        uiDriver_.reset(new UIDriverFullGUI(*this));
        return "Full GUI";
    }
}

int InstallerEngine::Main(const std::vector<std::string>& arguments)
{
    std::cout << "Begin Orvex Setup" << std::endl;
    RunReport::Reset();
    try {
        rawArguments_ = arguments;
        if (platform::InjectedFault("engine-main", std::string()) != 0)
            throw std::runtime_error("injected failure of the engine's main routine");
        if (!ProcessArgumentVector(arguments)) {
            exitCode_ = kExitBadArguments;
            RunReport::NoteError(FailureReport::BadModeReason((*argumentMap_)["mode"]));
        }
        // Bytes that are no UTF-8 would reach the scripts as replacement characters, and an install
        // folder given so would silently become another folder: such a command line is refused.
        const std::string notUTF8 = FirstNonUTF8Argument(arguments);
        if (exitCode_ == 0 && !notUTF8.empty()) {
            exitCode_ = kExitBadArguments;
            RunReport::NoteError("the argument \"" + notUTF8 + "\" is not UTF-8 text");
        }

        StringMap::const_iterator exitWorkflow = argumentMap_->find(TolkConstants::kPropExitWorkflow);
        if (exitWorkflow != argumentMap_->end() && !exitWorkflow->second.empty()) {
            int value = 0;
            if (!ZEB::ChangeDiffTypeImpl<std::string, int>::ChangeType(exitWorkflow->second, value) || value != 0)
                return 0;
        }

        StringMap::const_iterator optimize = argumentMap_->find(TolkConstants::kPropOptimizeMedia);
        if (optimize != argumentMap_->end() && optimize->second == "1") {
            exitCode_ = DoMediaOptimizationWorkflow();
            PayloadSessionManager::Release();
            std::cout << "End Media Optimization.  Exit code: " << exitCode_ << std::endl;
            FailureReport::Write(std::cerr, exitCode_, false);
            return exitCode_;
        }

        if (exitCode_ == 0) {
            std::cout << "UI mode: ";
            std::cout << CreateUIDriver() << std::endl;
            exitCode_ = InstallerEnginePlatformMethods::ValidateBareMinimumOSRequirements(uiDriver_);
            if (exitCode_ != 0)
                RunReport::NoteError(FailureReport::StartUpReason(exitCode_));
        }
        if (exitCode_ == 0 && !StartScriptingEngine()) {
            exitCode_ = kExitScriptingEngine;
            RunReport::NoteError(FailureReport::StartUpReason(exitCode_));
        }
        if (exitCode_ == 0) {
            uiOperationManager_.reset(new UIThreadOperationManager(uiDriver_.get()));
            if (!uiDriver_->Run())
                exitCode_ = kExitDriverFailed;
        }
    } catch (const std::exception& error) {
        exitCode_ = kExitException;
        RunReport::NoteError(FailureReport::StartUpReason(exitCode_) + ": " + error.what());
    } catch (...) {
        exitCode_ = kExitException;
        RunReport::NoteError(FailureReport::StartUpReason(exitCode_));
    }
    uiDriver_.reset();
    // Terminal mode's output is all it makes: when the output stream failed, the run failed. The
    // end line tries the standard output again, so that its failed write says why.
    const bool terminal = uiMode_ == kUIModeTerminal;
    const bool outputLost = terminal && exitCode_ == 0 && !std::cout;
    if (outputLost) {
        exitCode_ = kExitOutputFailed;
        std::cout.clear();
    }
    errno = 0;
    std::cout << "End Orvex Setup.  Exit code: " << exitCode_ << std::endl;
    const int endLineError = std::cout ? 0 : errno;
    if (outputLost || (terminal && exitCode_ == 0 && !std::cout)) {
        exitCode_ = kExitOutputFailed;
        RunReport::NoteError("the standard output could not be written" +
                             (endLineError != 0 ? ": " + std::string(std::strerror(endLineError)) : std::string()));
    }
    FailureReport::Write(std::cerr, exitCode_, uiMode_ == kUIModeTerminal);
    ReleasePayloadSession();
    return exitCode_;
}

bool InstallerEngine::StartScriptingEngine()
{
    try {
        scriptingGuard_.reset(new TQInitManager);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}
