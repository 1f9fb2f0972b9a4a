#include "Common/source/mac/TQInitManager.h"
#include "Common/source/xplat/LogFactory.h"
#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/JSMethodPublisher.h"
#include "Sorvel/source/xplat/SorvelJSPublisherUtilities.h"
#include "Sorvel/source/xplat/UIDriverSilentJSWorkflow.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <boost/lexical_cast.hpp>
#include <boost/noncopyable.hpp>

namespace {

typedef std::vector<std::string> Args;

// The two methods a silent workflow needs from the mutation-access publisher, plus a trace.
class WorkflowPublisher : private boost::noncopyable, public JSMethodPublisher<WorkflowPublisher> {
public:
    explicit WorkflowPublisher(InstallerEngine& engine) : engine_(engine)
    {
        RegisterJSMemberMethod("Trace", &WorkflowPublisher::Trace);
        RegisterJSMemberMethod("SetWorkflowExitCode", &WorkflowPublisher::SetWorkflowExitCode);
    }

    std::string Trace(const Args& arguments)
    {
        for (const std::string& argument : arguments)
            trace += (trace.empty() ? "" : ",") + argument;
        return "{}";
    }

    std::string SetWorkflowExitCode(const Args& arguments)
    {
        using namespace SorvelJSPublisherUtilities;
        if (arguments.size() != 1)
            return MakeJSONErrorObj(kJSResultWrongArgumentCount);
        exitCode = boost::lexical_cast<int>(arguments[0]);
        engine_.SetExitCode(exitCode);
        return MakeJSONSuccessObj();
    }

    std::string trace;
    int exitCode = -1;

private:
    InstallerEngine& engine_;
};

// The driver with the test's publisher in place of the script interface's, and its workflow
// step reachable without a payload session.
class TestSilentWorkflow : public UIDriverSilentJSWorkflow {
public:
    TestSilentWorkflow(InstallerEngine& engine, boost::shared_ptr<WorkflowPublisher> publisher)
        : UIDriverSilentJSWorkflow(engine), publisher_(publisher)
    {
    }

    using UIDriverSilentJSWorkflow::RunWorkflowScripts;

    Logger* logger = nullptr;
    int made = 0;

protected:
    PublisherList MakePublishers(Logger* sorvelLog) override
    {
        ++made;
        logger = sorvelLog;
        PublisherList list;
        list.push_back(publisher_);
        return list;
    }

private:
    boost::shared_ptr<WorkflowPublisher> publisher_;
};

class UIDriverSilentJSWorkflowTest : public tolktest::SystemRootTest {
protected:
    UIDriverSilentJSWorkflowTest()
        : parent_(sysroot_.Scratch() + "/medium"),
          scripts_(parent_ + "/resources/common/scripts"),
          engine_(FileSystemPath(parent_)),
          publisher_(new WorkflowPublisher(engine_)),
          driver_(engine_, publisher_)
    {
        InitializeTessel();
        tolktest::MakeFolders(scripts_);
    }

    void WriteScript(const std::string& name, const std::string& text)
    {
        tolktest::WriteTextFile(scripts_ + "/" + name, text);
    }

    // Runs the workflow step and answers what it printed.
    std::string RunScripts(bool& result)
    {
        testing::internal::CaptureStdout();
        result = driver_.RunWorkflowScripts();
        return testing::internal::GetCapturedStdout();
    }

    std::string parent_;
    std::string scripts_;
    InstallerEngine engine_;
    boost::shared_ptr<WorkflowPublisher> publisher_;
    TestSilentWorkflow driver_;
};

}  // namespace

TEST_F(UIDriverSilentJSWorkflowTest, WithoutAPayloadSessionNothingRuns)
{
    WriteScript("silentWorkflow.js", "Trace('ran');");
    // A proxy file that cannot be read: the payload session cannot start.
    tolktest::MakeFolders(parent_ + "/payloads/A");
    tolktest::WriteTextFile(parent_ + "/payloads/A/A.proxy.xml", "<PayloadInfo>");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(driver_.Run());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Unable to initialize the session manager\n");
    EXPECT_EQ(driver_.made, 0);
    EXPECT_EQ(publisher_->trace, "");
}

TEST_F(UIDriverSilentJSWorkflowTest, LibrariesAndWorkflowRunAsOneTextAndSetTheExitCode)
{
    WriteScript("utils.js", "Trace('utils'); function twice(n) { return 2 * n; }\n");
    WriteScript("localization.js", "Trace('localization');\n");
    WriteScript("silentWorkflow.js",
                "Trace('workflow');\n"
                "var answer = eval('(' + SetWorkflowExitCode(twice(3) + 1) + ')');\n"
                "Trace(answer.success);\n");
    bool result = false;
    EXPECT_EQ(RunScripts(result), "");
    EXPECT_TRUE(result);
    EXPECT_EQ(publisher_->trace, "utils,localization,workflow,1") << "a missing ContainerProxy.js is skipped";
    EXPECT_EQ(publisher_->exitCode, 7);
    EXPECT_EQ(driver_.made, 1);
    EXPECT_EQ(driver_.logger, LogFactory::Instance().GetLogger("Sorvel"));
    EXPECT_EQ(publisher_.use_count(), 2) << "the group and the bridge are gone";

    WriteScript("ContainerProxy.js", "Trace('proxy');");
    publisher_->trace.clear();
    RunScripts(result);
    EXPECT_TRUE(result);
    EXPECT_EQ(publisher_->trace, "utils,proxy,localization,workflow,1");
}

TEST_F(UIDriverSilentJSWorkflowTest, MissingWorkflowNamesTheScriptsFolder)
{
    WriteScript("utils.js", "Trace('utils');");
    bool result = true;
    EXPECT_EQ(RunScripts(result), "Unable to load silent workflow from " + scripts_ + "\n");
    EXPECT_FALSE(result);
    EXPECT_EQ(driver_.made, 0) << "no publisher is made before the workflow is loaded";
    EXPECT_EQ(publisher_->trace, "");
}

TEST_F(UIDriverSilentJSWorkflowTest, ASyntaxErrorInALibraryFailsTheWholeWorkflow)
{
    WriteScript("utils.js", "function broken( {\n");
    WriteScript("silentWorkflow.js", "Trace('workflow'); SetWorkflowExitCode(0);");
    bool result = true;
    const std::string output = RunScripts(result);
    EXPECT_FALSE(result);
    EXPECT_EQ(output.find("Javascript error in Tessel: SyntaxError"), 0u) << output;
    EXPECT_EQ(publisher_->trace, "");
    EXPECT_EQ(publisher_->exitCode, -1);
}

TEST_F(UIDriverSilentJSWorkflowTest, AnUncaughtScriptErrorIsPrintedInFull)
{
    WriteScript("utils.js", "Trace('utils');\n");
    WriteScript("silentWorkflow.js", "Trace('workflow');\nthrow new Error('install failed');\n");
    bool result = true;
    EXPECT_EQ(RunScripts(result), "Javascript error in Tessel: Error: install failed (line 3)\n");
    EXPECT_FALSE(result);
    EXPECT_EQ(publisher_->trace, "utils,workflow") << "what ran before the error has run";
}

TEST_F(UIDriverSilentJSWorkflowTest, ALibraryWithoutAFinalLineEndDoesNotSwallowTheNextFile)
{
    WriteScript("utils.js", "Trace('utils'); // the end, no line feed");
    WriteScript("ContainerProxy.js", "Trace('proxy');\n");
    WriteScript("localization.js", "Trace('localization'); // also without one");
    WriteScript("silentWorkflow.js", "Trace('workflow');");
    bool result = false;
    EXPECT_EQ(RunScripts(result), "");
    EXPECT_TRUE(result);
    EXPECT_EQ(publisher_->trace, "utils,proxy,localization,workflow");
}
