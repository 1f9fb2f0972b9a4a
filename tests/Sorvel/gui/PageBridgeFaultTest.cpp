// The wizard's bridge serves only the medium's own pages: a page that goes elsewhere, a frame
// from elsewhere and a file page that asks for a file by request reach nothing.
#include "WizardFixture.h"

#include "Common/source/xplat/LogFactory.h"
#include "Sorvel/source/xplat/SorvelConstants.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::HasSubstr;
using ::testing::Not;

namespace tolktest {

class PageBridgeFaultTest : public WizardTest {
protected:
    void SetUp() override
    {
        WizardTest::SetUp();
        if (IsSkipped())
            return;
        UseShippedFrameLoadScript();
        elsewhere_ = sysroot_.Scratch() + "/elsewhere";
        MakeFolders(elsewhere_);
        logger_ = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
        logger_->SetLogfilePath(sysroot_.Scratch() + "/sorvel.log");
    }

    void TearDown() override
    {
        if (logger_ != nullptr)
            logger_->SetLogfilePath(SorvelConstants::kSorvelLog);
        WizardTest::TearDown();
    }

    std::string Log() const { return ReadTextFile(logger_->GetLogfilePath()); }
    std::string WindowTitle() { return nib_->window().Window().Title(); }

    std::string elsewhere_;  // a folder outside the medium
    Logger* logger_ = nullptr;
};

TEST_F(PageBridgeFaultTest, APageThatGoesElsewhereIsRefused)
{
    // The medium's pages go from one to the next; the second one then sends the window away.
    const std::string away = "file://" + elsewhere_ + "/away.html";
    WriteTextFile(elsewhere_ + "/away.html",
                  "<html><body><script>function DQENOnLoad() {"
                  " DQEN.UISetWindowTitle('Away'); }</script></body></html>");
    WriteResource("main.html",
                  "<html><body><script>function DQENOnLoad() { location = 'second.html'; }"
                  "</script></body></html>");
    WriteResource("second.html",
                  "<html><body><script>function DQENOnLoad() { DQEN.UISetWindowTitle('Second');"
                  " location = '" +
                      away + "'; }</script></body></html>");
    Launch();
    const std::string refused = "Refused to show \"" + away + "\"";
    ASSERT_TRUE(WaitFor([&]() { return Log().find(refused) != std::string::npos || WindowTitle() == "Away"; }));
    EXPECT_EQ(WindowTitle(), "Second");
    EXPECT_THAT(Evaluate("location.href"), HasSubstr("/resources/second.html"));
    // The page that stays keeps its bridge.
    EXPECT_EQ(Evaluate("DQEN.UISetWindowTitle('Kept')"), "");
    EXPECT_EQ(WindowTitle(), "Kept");
    // A place that answers nothing to decide on is refused too, also where it replaced the page's
    // own entry of the history.
    const auto refusals = [&]() {
        const std::string log = Log();
        std::size_t count = 0;
        for (std::size_t at = log.find("Refused to show \"about:blank\""); at != std::string::npos;
             at = log.find("Refused to show \"about:blank\"", at + 1))
            ++count;
        return count;
    };
    for (const char* away : {"location = 'about:blank'", "location.replace('about:blank')"}) {
        const std::size_t before = refusals();
        Evaluate(away);
        ASSERT_TRUE(WaitFor([&]() { return refusals() > before; })) << away;
        ASSERT_TRUE(WaitForValue("String(location.href.indexOf('/resources/second.html') >= 0)", "true")) << away;
    }
}

TEST_F(PageBridgeFaultTest, AFrameFromElsewhereReachesNoMethod)
{
    // It tries the alert channel and the prompt the old bridge answered, then tells the page.
    WriteTextFile(elsewhere_ + "/frame.html",
                  "<html><body><script>alert('DQEN<===>UISetWindowTitle<===>Alerted');\n"
                  "prompt('DQEN<===>UISetWindowTitle<===>Prompted', '\\u0001tolk-bridge\\u0001');\n"
                  "parent.postMessage('called', '*');</script></body></html>");
    WriteResource("main.html",
                  "<html><head><script>window.addEventListener('message', function (e) {"
                  " window.frameSaid = e.data; });</script></head><body><iframe src='file://" +
                      elsewhere_ + "/frame.html'></iframe></body></html>");
    Launch();
    ASSERT_TRUE(WaitForValue("String(window.frameSaid)", "called"));
    EXPECT_EQ(WindowTitle(), "Setup");
    EXPECT_THAT(Log(), HasSubstr("Refused the page bridge call \"UISetWindowTitle\" of a frame"));
    EXPECT_EQ(Evaluate("DQEN.UISetWindowTitle('Own')"), "");
    EXPECT_EQ(WindowTitle(), "Own");
}

TEST_F(PageBridgeFaultTest, FilePagesReadFilesOnlyThroughThePublishedMethods)
{
    WriteTextFile(elsewhere_ + "/secret.txt", "secret");
    WriteResource("own.js", "var ownScript = 'loaded';");
    WriteResource("main.html",
                  "<html><head><script src='own.js'></script><script>\n"
                  "function read(url) {\n"
                  "  try { var request = new XMLHttpRequest(); request.open('GET', url, false);\n"
                  "        request.send(); return 'read ' + request.responseText; }\n"
                  "  catch (e) { return 'refused'; }\n"
                  "}\n"
                  "function DQENOnLoad() { document.title = 'ready'; }</script></head></html>");
    Launch();
    ASSERT_TRUE(WaitForValue("document.title", "ready"));
    EXPECT_THAT(Evaluate("read('file://" + elsewhere_ + "/secret.txt')"), Not(HasSubstr("secret")));
    // What the page is made of still loads, and the published method still reads.
    EXPECT_EQ(Evaluate("ownScript"), "loaded");
    EXPECT_THAT(Evaluate("DQEN.LoadFile('" + elsewhere_ + "/secret.txt')"), HasSubstr("secret"));
}

}  // namespace tolktest
