// UIDriverSilentJSWorkflow: silent mode. The script "silentWorkflow.js", with the wizard's script
// libraries, drives the installation through the data-access and mutation-access methods, which
// it calls as global functions of a script engine, and sets the exit code itself.
#pragma once

#include "JSMethodPublisherInterface.h"
#include "UIDriver.h"

#include <boost/shared_ptr.hpp>

#include <vector>

class Logger;

class UIDriverSilentJSWorkflow : public UIDriver {
public:
    typedef std::vector<boost::shared_ptr<JSMethodPublisherInterface> > PublisherList;

    explicit UIDriverSilentJSWorkflow(InstallerEngine& engine) : UIDriver(engine) {}
    ~UIDriverSilentJSWorkflow() override {}

    // False (exit code 4) without a payload session, without "silentWorkflow.js" or when the
    // scripts end in an error; the reason is printed on standard output.
    bool Run() override;

protected:
    // Run after the session check: loads the scripts, publishes the methods to a new script
    // engine and evaluates the scripts there as one text. An operation that the scripts left
    // running ends before the publishers do.
    bool RunWorkflowScripts();

    // The publishers whose methods the scripts may call, in the order of their group: data
    // access, then mutation access (no window calls in this mode). Tests offer their own.
    virtual PublisherList MakePublishers(Logger* logger);

private:
    // Waits for (or, with cancel, cancels) an operation still running on the install thread, and
    // logs that it did.
    void FinishLeftOperation(Logger* logger, bool cancel);
};
