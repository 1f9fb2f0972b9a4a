// What a worker thread's abort needs of the queue through which workers ask the user interface:
// withdrawing the request its worker is blocked on. The installer engine's request manager
// implements it, so the foundation does not depend on that manager.
#pragma once

// A request that a worker hands to the interface and blocks on. The thread object keeps only its
// address, as an identity; it never uses the request itself.
class UIThreadOperationRequest {
public:
    virtual ~UIThreadOperationRequest() {}
};

class UIThreadOperationAborter {
public:
    virtual ~UIThreadOperationAborter() {}

    // Removes the request if it still waits in the queue, waking its worker without an answer,
    // and returns once the worker has let go of it. A request that is not queued is ignored.
    virtual void AbortCallFromUIThreadContext(UIThreadOperationRequest* request) = 0;
};
