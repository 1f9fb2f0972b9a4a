#include "Common/source/xplat/HexMD5Digest.h"
#include "Sorvel/source/xplat/UIProviderInterface.h"
#include "Sorvel/source/xplat/UIThreadOperationManager.h"
#include "Sorvel/source/xplat/UserInterfaceMessagePrompt.h"

#include "FakeThreadOperation.h"

#include <gtest/gtest.h>

#include <boost/thread/mutex.hpp>

#include <atomic>
#include <memory>
#include <thread>

namespace {

const char kCancelQuestion[] =
    "{\"statusCode\":\"0\",\"Buttons\":[{\"name\":\"yes\",\"value\":\"1\"},{\"name\":\"no\",\"value\":\"2\"}],"
    "\"userIndicator\":\"0\",\"arguments\":[]}";

UserInterfaceMessagePrompt CancelQuestion()
{
    return UserInterfaceMessagePrompt(0, TolkUIRequest::kResponseYes | TolkUIRequest::kResponseNo,
                                      TolkUIRequest::kIndicatorDefault);
}

// A worker thread that posts one request and records what came back.
class Worker {
public:
    Worker(UIThreadOperationManager& manager, UIThreadOperationManager::UIOperation* request)
        : thread_([this, &manager, request]() {
              result_ = manager.CallFromUIThreadContext(request);
              done_ = true;
          })
    {
    }
    ~Worker()
    {
        if (thread_.joinable())
            Join();
    }
    // Once the request is answered or withdrawn; one that never is fails the test.
    bool Join()
    {
        tolktest::JoinWhenDone(
            thread_, [this]() { return Done(); }, "the request's answer to its worker");
        return result_;
    }
    bool Done() const { return done_; }

private:
    std::atomic<bool> done_{false};
    bool result_ = false;
    std::thread thread_;
};

// Waits until the manager shows a queued request; its id. Each request becomes visible as the
// oldest once those before it are answered.
std::string WaitForRequest(UIThreadOperationManager& manager, std::string* json = nullptr)
{
    std::string id;
    std::string text;
    EXPECT_TRUE(tolktest::WaitForQuestion(manager, id, text)) << "no request came";
    if (json != nullptr)
        *json = text;
    return id;
}

}  // namespace

TEST(UserInterfaceMessagePromptTest, JSONForms)
{
    UserInterfaceMessagePrompt cancel = CancelQuestion();
    std::string json = "stale";
    ASSERT_TRUE(cancel.ContentsAsJSON(json));
    EXPECT_EQ(json, kCancelQuestion);

    UserInterfaceMessagePrompt bare(12, 0, TolkUIRequest::kIndicatorOperationNotCalled, "x");
    ASSERT_TRUE(bare.ContentsAsJSON(json));
    EXPECT_EQ(json, "{\"statusCode\":\"12\",\"Buttons\":[],\"userIndicator\":\"2\",\"arguments\":[\"x\"]}");

    UserInterfaceMessagePrompt all(7, 0xFF, TolkUIRequest::kIndicatorDefault, "a\"b", "c");
    ASSERT_TRUE(all.ContentsAsJSON(json));
    EXPECT_EQ(json,
              "{\"statusCode\":\"7\",\"Buttons\":[{\"name\":\"yes\",\"value\":\"1\"},{\"name\":\"no\",\"value\":\"2\"},"
              "{\"name\":\"quit\",\"value\":\"4\"},{\"name\":\"ok\",\"value\":\"8\"},{\"name\":\"tryagain\",\"value\":"
              "\"16\"}],\"userIndicator\":\"0\",\"arguments\":[\"a\\\"b\",\"c\"]}");
}

TEST(UIThreadOperationManagerTest, PeekOnAnEmptyQueue)
{
    UIThreadOperationManager manager(nullptr);
    bool waiting = true;
    std::string id = "kept";
    std::string json = "kept";
    EXPECT_TRUE(manager.PeekThreadMessage(waiting, id, json));
    EXPECT_FALSE(waiting);
    EXPECT_EQ(id, "kept");
    EXPECT_FALSE(manager.PopThreadMessage("anything", 1));
}

TEST(UIThreadOperationManagerTest, AnswerByMessageId)
{
    UIThreadOperationManager manager(nullptr);
    UserInterfaceMessagePrompt prompt = CancelQuestion();
    Worker worker(manager, &prompt);
    std::string json;
    const std::string id = WaitForRequest(manager, &json);
    EXPECT_EQ(json, kCancelQuestion);
    const std::string expected = ZEB::HexMD5Digest(json.begin(), json.end());
    ASSERT_EQ(expected.size(), 31u);
    EXPECT_EQ(id, expected);
    EXPECT_EQ(WaitForRequest(manager), id) << "peeking twice gives the same id";

    std::string upper = id;
    for (char& c : upper)
        c = static_cast<char>(toupper(c));
    EXPECT_FALSE(manager.PopThreadMessage(upper, 2));
    EXPECT_FALSE(manager.PopThreadMessage(id + "0", 2));
    EXPECT_FALSE(worker.Done());

    EXPECT_TRUE(manager.PopThreadMessage(id, 2));
    EXPECT_TRUE(worker.Join());
    EXPECT_EQ(prompt.GetUserResponseOption(), 2u);
    EXPECT_FALSE(manager.PopThreadMessage(id, 2));
}

TEST(UIThreadOperationManagerTest, OldestFirstAndOnlyTheOldest)
{
    UIThreadOperationManager manager(nullptr);
    UserInterfaceMessagePrompt first(1, TolkUIRequest::kResponseOk, TolkUIRequest::kIndicatorDefault, "first");
    UserInterfaceMessagePrompt second(2, TolkUIRequest::kResponseOk, TolkUIRequest::kIndicatorDefault, "second");
    Worker one(manager, &first);
    const std::string firstId = WaitForRequest(manager);
    Worker two(manager, &second);
    std::string secondJson;
    second.ContentsAsJSON(secondJson);
    const std::string secondId = ZEB::HexMD5Digest(secondJson.begin(), secondJson.end());

    // The younger request cannot be answered before the older one.
    EXPECT_FALSE(manager.PopThreadMessage(secondId, 8));
    EXPECT_TRUE(manager.PopThreadMessage(firstId, 8));
    EXPECT_TRUE(one.Join());
    EXPECT_EQ(WaitForRequest(manager), secondId);
    EXPECT_TRUE(manager.PopThreadMessage(secondId, 8));
    EXPECT_TRUE(two.Join());
}

TEST(UIThreadOperationManagerTest, AbortWithdrawsOnlyThatRequest)
{
    UIThreadOperationManager manager(nullptr);
    UserInterfaceMessagePrompt first(1, 0, TolkUIRequest::kIndicatorDefault, "first");
    UserInterfaceMessagePrompt second(2, 0, TolkUIRequest::kIndicatorDefault, "second");
    UserInterfaceMessagePrompt third(3, 0, TolkUIRequest::kIndicatorDefault, "third");
    Worker one(manager, &first);
    const std::string firstId = WaitForRequest(manager);
    Worker two(manager, &second);
    Worker three(manager, &third);

    // Abort needs the second request queued; until it is, the abort finds nothing to withdraw.
    EXPECT_TRUE(tolktest::WaitUntil([&]() {
        manager.AbortCallFromUIThreadContext(&second);
        return two.Done();
    }));
    EXPECT_FALSE(two.Join());

    UserInterfaceMessagePrompt never(9, 0, TolkUIRequest::kIndicatorDefault);
    manager.AbortCallFromUIThreadContext(&never);  // not queued: nothing happens

    EXPECT_EQ(WaitForRequest(manager), firstId);
    EXPECT_TRUE(manager.PopThreadMessage(firstId, 1));
    EXPECT_TRUE(one.Join());
    std::string json;
    const std::string thirdId = WaitForRequest(manager, &json);
    EXPECT_NE(json.find("third"), std::string::npos);
    EXPECT_TRUE(manager.PopThreadMessage(thirdId, 1));
    EXPECT_TRUE(three.Join());
}

TEST(UIThreadOperationManagerTest, DestructionReleasesEveryWorker)
{
    UserInterfaceMessagePrompt first(1, 0, TolkUIRequest::kIndicatorDefault);
    std::unique_ptr<UIThreadOperationManager> manager(new UIThreadOperationManager(nullptr));
    Worker one(*manager, &first);
    WaitForRequest(*manager);
    manager.reset();
    EXPECT_FALSE(one.Join());
}

// A provider that answers every prompt with "no" and counts them.
class CountingProvider : public UIProviderInterface {
public:
    bool operator()(UserInterfaceMessagePrompt* prompt) override
    {
        ++shown;
        return prompt->SetUserResponseOption(TolkUIRequest::kResponseNo);
    }
    bool Run() override { return true; }
    bool Alert(const std::string&, const std::string&, const std::string&) override { return true; }
    int shown = 0;
};

TEST(UIThreadOperationManagerTest, HandlePendingOperationsUsesTheProvider)
{
    CountingProvider provider;
    UIThreadOperationManager manager(&provider);
    manager.HandlePendingOperations();  // nothing queued
    UserInterfaceMessagePrompt prompt = CancelQuestion();
    Worker worker(manager, &prompt);
    WaitForRequest(manager);
    manager.HandlePendingOperations();
    EXPECT_TRUE(worker.Join());
    EXPECT_EQ(provider.shown, 1);
    EXPECT_EQ(prompt.GetUserResponseOption(), 2u);
}
