// Helpers of the GUI tests of the platform layer: a display or a skipped test, and a window with
// a web view on a page written at test time.
#pragma once

#include "platform/gui/GuiApplication.h"
#include "platform/gui/GuiWebView.h"
#include "platform/gui/GuiWindow.h"

#include "tests/support/GuiDeadline.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tolktest {

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!platform::GuiApplication::Load())
            GTEST_SKIP() << "no display";
        platform::GuiApplication::ResetForTesting();
    }

    void TearDown() override { platform::GuiApplication::ResetForTesting(); }

    static bool WaitFor(const std::function<bool()>& condition) { return ServeEventsUntil(condition); }
};

class WebViewTest : public GuiTest {
protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        if (IsSkipped())
            return;
        window_.reset(new platform::GuiWindow("Test", 320, 240));
        view_.reset(new platform::GuiWebView(*window_));
        view_->SetFrameLoadHandler([this](bool mainFrame) { (mainFrame ? mainLoads_ : innerLoads_)++; });
        window_->MakeKeyAndOrderFront();
    }

    void TearDown() override
    {
        view_.reset();
        window_.reset();
        GuiTest::TearDown();
    }

    // Loads the HTML as a page of its own and waits until it has loaded.
    void Load(const std::string& html)
    {
        const int before = mainLoads_;
        view_->LoadData(html, "text/html", "utf-8", "http://localhost/");
        ASSERT_TRUE(WaitFor([this, before]() { return mainLoads_ > before; }));
    }

    std::string Evaluate(const std::string& script)
    {
        std::string value;
        EXPECT_TRUE(view_->EvaluateScriptAndWait(script, value, kPatience)) << script;
        return value;
    }

    std::unique_ptr<platform::GuiWindow> window_;
    std::unique_ptr<platform::GuiWebView> view_;
    int mainLoads_ = 0;
    int innerLoads_ = 0;
};

}  // namespace tolktest
