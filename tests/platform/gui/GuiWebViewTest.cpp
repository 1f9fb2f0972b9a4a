#include "GuiTestSupport.h"

#include "platform/desktop/Workspace.h"

#include <boost/shared_ptr.hpp>

#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace tolktest {

namespace {

class RecordingWorkspace : public platform::WorkspaceInterface {
public:
    int OpenURL(const std::string& url) override
    {
        urls.push_back(url);
        return 0;
    }
    int OpenFile(const std::string&) override { return 0; }
    bool UnmountAndEjectDevice(const std::string&) override { return true; }

    std::vector<std::string> urls;
};

}  // namespace

TEST_F(WebViewTest, ScriptsEvaluatedWhileHandlingAnAlertRunBeforeAlertReturns)
{
    std::vector<std::string> messages;
    view_->SetAlertHandler([this, &messages](const std::string& message, bool) {
        messages.push_back(message);
        view_->EvaluateScript("window.answer = 'it\\'s \"here\"';");
        view_->EvaluateScript("window.answer += '!';");
        view_->EvaluateScript("this is no script");  // stays in the page
        view_->EvaluateScript("window.seen = typeof window.answer;");
    });
    Load("<html><body></body></html>");
    EXPECT_EQ(Evaluate("window.answer = 'none'; alert('first'); alert(); window.answer + ' ' + window.seen"),
              "it's \"here\"! string");
    EXPECT_EQ(messages, (std::vector<std::string>{"first", ""}));
}

TEST_F(WebViewTest, APlaceholderStandsInUntilTheFirstPageShows)
{
    view_->SetPlaceholderText("Starting...");
    EXPECT_TRUE(view_->ShowsPlaceholder());
    view_->LoadData("<html><body>Page</body></html>", "text/html", "utf-8", "http://localhost/");
    ASSERT_TRUE(WaitFor([this]() { return !view_->ShowsPlaceholder(); }));
    EXPECT_EQ(mainLoads_, 1);
    // Only the first page has one.
    view_->SetPlaceholderText("Again");
    Load("<html><body>Next</body></html>");
    EXPECT_FALSE(view_->ShowsPlaceholder());
}

TEST_F(WebViewTest, ScriptsOutsideAnAlertRunInTheOrderGiven)
{
    Load("<html><body></body></html>");
    view_->EvaluateScript("window.n = 1;");
    view_->EvaluateScript("window.n = window.n * 10 + 2;");
    EXPECT_EQ(Evaluate("window.n"), "12");
    // A view inside its alert handler cannot be waited on: the page waits for the handler.
    std::string value = "untouched";
    bool answered = true;
    view_->SetAlertHandler([this, &value, &answered](const std::string&, bool) {
        answered = view_->EvaluateScriptAndWait("1", value, kPatience);
    });
    Evaluate("alert('x'); 0");
    EXPECT_FALSE(answered);
    EXPECT_EQ(value, "untouched");
}

TEST_F(WebViewTest, ConfirmGoesToItsHandlerAndPromptGetsNoPanel)
{
    std::vector<std::string> asked;
    bool answer = false;
    view_->SetConfirmHandler([&asked, &answer](const std::string& message) {
        asked.push_back(message);
        return answer;
    });
    Load("<html><body></body></html>");
    EXPECT_EQ(Evaluate("String(confirm('Sure?'))"), "false");
    answer = true;
    EXPECT_EQ(Evaluate("String(confirm('Really?'))"), "true");
    EXPECT_EQ(asked, (std::vector<std::string>{"Sure?", "Really?"}));
    EXPECT_EQ(Evaluate("String(prompt('Name?', 'x'))"), "null");
}

TEST_F(WebViewTest, ReportsTheMainFrameAndEveryInnerFrameButNotAFailedLoad)
{
    char folder[] = "/tmp/tolk-gui-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string base(folder);
    std::ofstream(base + "/inner.html") << "<html><body>inner</body></html>";
    std::ofstream(base + "/main.html") << "<html><body><iframe src='inner.html'></iframe>"
                                          "<iframe src='inner.html'></iframe></body></html>";
    view_->LoadFile(base + "/main.html");
    EXPECT_TRUE(WaitFor([this]() { return mainLoads_ == 1 && innerLoads_ == 2; }));

    view_->LoadFile(base + "/missing.html");
    const unsigned before = view_->FinishedFrameLoads();
    view_->LoadData("<html></html>", "text/html", "utf-8", "http://localhost/");
    EXPECT_TRUE(WaitFor([this]() { return mainLoads_ == 2; }));
    EXPECT_EQ(view_->FinishedFrameLoads(), before + 1);
    std::system(("rm -rf " + base).c_str());
}

TEST_F(WebViewTest, NewWindowsAreNeverMadeTheirURLGoesToTheWorkspace)
{
    boost::shared_ptr<RecordingWorkspace> workspace(new RecordingWorkspace);
    platform::SetWorkspace(workspace);
    Load("<html><body><a id='l' href='http://example.invalid/eula' target='_blank'>EULA</a></body></html>");
    Evaluate("document.getElementById('l').click(); 0");
    EXPECT_TRUE(WaitFor([&workspace]() { return workspace->urls.size() == 1; }));
    EXPECT_EQ(workspace->urls, std::vector<std::string>{"http://example.invalid/eula"});
    platform::SetWorkspace(nullptr);
}

TEST_F(WebViewTest, WithoutScrollingTheTopFrameHidesItsOverflow)
{
    view_->SetScrollingEnabled(false);
    Load("<html><body style='height:5000px'></body></html>");
    EXPECT_EQ(Evaluate("getComputedStyle(document.documentElement).overflow"), "hidden");
    view_->SetScrollingEnabled(true);
    Load("<html><body style='height:5000px'></body></html>");
    EXPECT_EQ(Evaluate("getComputedStyle(document.documentElement).overflow"), "visible");
}

}  // namespace tolktest
