#include "UIThreadOperationManager.h"

#include "Common/source/mac/ThreadUtils.h"
#include "Common/source/xplat/HexMD5Digest.h"
#include "Common/source/xplat/Logger.h"

#include <algorithm>

UIThreadOperationManager::UIThreadOperationManager(UIProviderInterface* provider) : provider_(provider) {}

UIThreadOperationManager::~UIThreadOperationManager()
{
    boost::mutex::scoped_lock lock(mutex_);
    while (!queue_.empty())
        RemoveUnanswered(queue_.front(), lock);
}

bool UIThreadOperationManager::InQueue(const UIOperationElemPtr& element) const
{
    return std::find(queue_.begin(), queue_.end(), element) != queue_.end();
}

bool UIThreadOperationManager::CallFromUIThreadContext(UIOperation* operation)
{
    // The worker may wait here for as long as nobody answers: what it logged goes out first.
    LogWriteBatch::FlushAll();
    UIOperationElemPtr element(new UIOperationElem(operation));
    boost::mutex::scoped_lock lock(mutex_);
    queue_.push_back(element);
    // A wait on the main thread for the worker (ThreadSleepUntil) sees the question at once.
    ThreadUtils::WakeMainThread();
    while (!element->answered && InQueue(element))
        element->answeredCondition.wait(lock);
    element->released = true;
    element->releasedCondition.notify_all();
    return element->answered;
}

bool UIThreadOperationManager::PeekThreadMessage(bool& waiting, std::string& messageId, std::string& json)
{
    boost::mutex::scoped_lock lock(mutex_);
    if (queue_.empty()) {
        waiting = false;
        return true;
    }
    waiting = true;
    if (!queue_.front()->operation->ContentsAsJSON(json))
        return false;
    messageId = ZEB::HexMD5Digest(json.begin(), json.end());
    return true;
}

bool UIThreadOperationManager::PopThreadMessage(const std::string& messageId, unsigned long option)
{
    boost::mutex::scoped_lock lock(mutex_);
    if (queue_.empty())
        return false;
    UIOperationElemPtr element = queue_.front();
    std::string json;
    if (!element->operation->ContentsAsJSON(json))
        return false;
    if (ZEB::HexMD5Digest(json.begin(), json.end()) != messageId)
        return false;
    queue_.pop_front();
    element->operation->SetUserResponseOption(option);
    element->answered = true;
    element->answeredCondition.notify_all();
    return true;
}

void UIThreadOperationManager::RemoveUnanswered(UIOperationElemPtr element, boost::mutex::scoped_lock& lock)
{
    queue_.remove(element);
    element->answeredCondition.notify_all();
    // The worker marks its element released under the mutex and holds the mutex until it
    // returns, so once we have it back the worker no longer touches the element or its request.
    while (!element->released)
        element->releasedCondition.wait(lock);
}

void UIThreadOperationManager::AbortCallFromUIThreadContext(UIThreadOperationRequest* operation)
{
    boost::mutex::scoped_lock lock(mutex_);
    for (;;) {
        std::list<UIOperationElemPtr>::iterator found =
            std::find_if(queue_.begin(), queue_.end(),
                         [operation](const UIOperationElemPtr& element) { return element->operation == operation; });
        if (found == queue_.end())
            return;
        UIOperationElemPtr element = *found;
        RemoveUnanswered(element, lock);
    }
}

void UIThreadOperationManager::HandlePendingOperations()
{
    boost::mutex::scoped_lock lock(mutex_);
    if (queue_.empty())
        return;
    UIOperationElemPtr element = queue_.front();
    queue_.pop_front();
    if (provider_ != nullptr)
        element->operation->Perform(provider_);
    element->answered = true;
    element->answeredCondition.notify_all();
}
