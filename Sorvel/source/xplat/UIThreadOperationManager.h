// UIThreadOperationManager: the queue through which the install thread asks the user interface a
// question and blocks until the interface, polling, answers it by message id. An abort of the install
// thread withdraws its request through the foundation's UIThreadOperationAborter.
#pragma once

#include "Common/source/xplat/UIThreadOperationAborter.h"

#include <boost/shared_ptr.hpp>
#include <boost/thread/condition.hpp>
#include <boost/thread/mutex.hpp>

#include <list>
#include <string>

class UIProviderInterface;

class UIThreadOperationManager : public UIThreadOperationAborter {
public:
    // One request; the worker that posts it owns it and keeps it alive while it waits.
    class UIOperation : public UIThreadOperationRequest {
    public:
        ~UIOperation() override {}
        virtual void Perform(UIProviderInterface* provider) = 0;
        virtual bool ContentsAsJSON(std::string& json) = 0;
        virtual bool SetUserResponseOption(unsigned long option) = 0;
    };

    explicit UIThreadOperationManager(UIProviderInterface* provider);
    // Removes every queued request without an answer, waiting for each worker to let go.
    ~UIThreadOperationManager() override;

    // Worker side: queues the request and blocks until it is answered (true) or removed
    // without an answer (false).
    bool CallFromUIThreadContext(UIOperation* operation);

    // Interface side: describes the oldest request (its JSON and the 31-digit hex MD5 of it).
    bool PeekThreadMessage(bool& waiting, std::string& messageId, std::string& json);
    // Interface side: answers the oldest request when the id matches it.
    bool PopThreadMessage(const std::string& messageId, unsigned long option);

    // Removes the request without an answer and waits until its worker has let go; a request
    // that is not queued is ignored.
    void AbortCallFromUIThreadContext(UIThreadOperationRequest* operation) override;

    // Has the provider show the oldest request and releases it as answered.
    void HandlePendingOperations();

private:
    struct UIOperationElem {
        explicit UIOperationElem(UIOperation* op) : operation(op), answered(false), released(false) {}
        UIOperation* operation;
        boost::condition answeredCondition;  // the worker waits on it
        boost::condition releasedCondition;  // a remover waits on it until the worker let go
        bool answered;
        bool released;  // the worker has left its wait
    };
    typedef boost::shared_ptr<UIOperationElem> UIOperationElemPtr;

    bool InQueue(const UIOperationElemPtr& element) const;
    // Takes the element out unanswered and waits until its worker has left its wait. By value: the
    // caller's reference may be the queue's own entry, which the removal destroys.
    void RemoveUnanswered(UIOperationElemPtr element, boost::mutex::scoped_lock& lock);

    UIProviderInterface* provider_;
    std::list<UIOperationElemPtr> queue_;
    boost::mutex mutex_;  // guards queue_ and every element's answered flag
};
