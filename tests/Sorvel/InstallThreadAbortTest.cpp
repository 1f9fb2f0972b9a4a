#include "Common/source/xplat/TolkThread.h"
#include "Sorvel/source/xplat/UIThreadOperationManager.h"
#include "Sorvel/source/xplat/UserInterfaceMessagePrompt.h"

#include "FakeThreadOperation.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>

namespace {

// A worker that asks the cancel question through its thread's manager, as the command-payload
// glue does.
class AskingThread : public TolkThreadWithMessaging<int, int> {
public:
    std::atomic<int> answered{-1};

    void ThreadProc() override
    {
        UserInterfaceMessagePrompt question(0, TolkUIRequest::kResponseYes | TolkUIRequest::kResponseNo,
                                            TolkUIRequest::kIndicatorDefault);
        UIThreadOperationManager* manager = dynamic_cast<UIThreadOperationManager*>(GetUIOperationManager());
        SetPendingUICall(&question);
        answered = manager != nullptr && manager->CallFromUIThreadContext(&question) ? 1 : 0;
    }
};

}  // namespace

TEST(InstallThreadAbortTest, AbortWithdrawsTheQuestionTheWorkerWaitsOn)
{
    UIThreadOperationManager manager(nullptr);
    AskingThread thread;
    thread.SetUIOperationManager(&manager);
    ASSERT_TRUE(thread.Run());
    std::string id;
    std::string json;
    ASSERT_TRUE(tolktest::WaitForQuestion(manager, id, json));
    EXPECT_TRUE(thread.Abort());
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.answered, 0);
    bool waiting = true;
    ASSERT_TRUE(manager.PeekThreadMessage(waiting, id, json));
    EXPECT_FALSE(waiting);
}
