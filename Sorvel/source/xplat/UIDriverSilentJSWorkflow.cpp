#include "UIDriverSilentJSWorkflow.h"

#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/LogFactory.h"
#include "Common/source/xplat/RunReport.h"
#include "InstallerEngine.h"
#include "JSMethodPublisherGroup.h"
#include "Sorvel/source/mac/SorvelCommonTQEngine.h"
#include "SorvelConstants.h"
#include "SorvelDataAccess.h"
#include "SorvelMutationAccess.h"
#include "ThreadPayloadOperationState.h"

#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char* const kLibraryScripts[] = {"utils.js", "ContainerProxy.js", "localization.js"};
const char kWorkflowScript[] = "silentWorkflow.js";

bool LoadScript(const FileSystemPath& folder, const std::string& name, std::string& text)
{
    FileSystemPath path(folder);
    path.AppendUTF8Segment(name);
    std::vector<std::uint8_t> bytes;
    if (!FileSystemUtils::LoadFileContents(path, bytes))
        return false;
    text.assign(bytes.begin(), bytes.end());
    return true;
}

// The files are evaluated as one text. A file whose last line has no line end would otherwise
// run into the next file's first line (a trailing line comment would swallow it), so such a
// file gets one; files that end properly keep their line numbers.
void AppendScript(std::string& script, const std::string& file)
{
    if (!script.empty() && script[script.size() - 1] != '\n')
        script += '\n';
    script += file;
}

// The message goes to the standard output, and is the reason that the run's report gives.
void Fail(const std::string& message)
{
    std::cout << message << std::endl;
    RunReport::NoteError(message);
}

}  // namespace

bool UIDriverSilentJSWorkflow::Run()
{
    if (!engine_.GetPayloadSessionManager()) {
        Fail("Unable to initialize the session manager");
        return false;
    }
    return RunWorkflowScripts();
}

bool UIDriverSilentJSWorkflow::RunWorkflowScripts()
{
    Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);

    FileSystemPath scripts = engine_.GetInstallerParentPath();
    scripts.AppendUTF8Segment("resources").AppendUTF8Segment("common").AppendUTF8Segment("scripts");

    std::string workflow;
    if (!LoadScript(scripts, kWorkflowScript, workflow)) {
        Fail("Unable to load silent workflow from " + scripts.AsUTF8String());
        return false;
    }

    // Declared in this order so that the bridge goes first: its script globals point into the
    // group's publishers.
    JSMethodPublisherGroup publishers(MakePublishers(logger));
    SorvelCommonTQEngine bridge(publishers);

    std::string script;
    for (const char* name : kLibraryScripts) {
        std::string library;
        if (LoadScript(scripts, name, library))
            AppendScript(script, library);
    }
    AppendScript(script, workflow);

    Mivor::Variant result;
    std::string errorText;
    const bool succeeded = bridge.EvalScript(script, result, errorText);
    FinishLeftOperation(logger, !succeeded);
    if (!succeeded) {
        Fail("Javascript error in Tessel: " + errorText);
        return false;
    }
    return true;
}

void UIDriverSilentJSWorkflow::FinishLeftOperation(Logger* logger, bool cancel)
{
    // The session, its log and the locks of the publishers end with the workflow: an operation
    // the script started without waiting for it ends first. One of a script that failed is
    // cancelled, one of a workflow that ran to its end may finish its work.
    bool running = false;
    ThreadPayloadOperationState state;
    if (!engine_.GetInstallThreadStatus(running, state) || !running)
        return;
    if (logger != nullptr)
        logger->AppendToLog(LogAppender::kLogWarn, cancel ? "The silent workflow failed while a payload operation "
                                                            "was running; cancelling it."
                                                          : "The silent workflow ended while a payload operation "
                                                            "was running; waiting for it to end.");
    engine_.FinishInstallThread(cancel, state);
    if (logger != nullptr)
        logger->AppendToLog(LogAppender::kLogWarn,
                            "The payload operation ended with status " + std::to_string(state.statusMessage.Code()));
}

UIDriverSilentJSWorkflow::PublisherList UIDriverSilentJSWorkflow::MakePublishers(Logger* logger)
{
    PublisherList publishers;
    publishers.push_back(boost::shared_ptr<JSMethodPublisherInterface>(new SorvelDataAccess(&engine_, logger)));
    publishers.push_back(boost::shared_ptr<JSMethodPublisherInterface>(new SorvelMutationAccess(&engine_, logger)));
    return publishers;
}
