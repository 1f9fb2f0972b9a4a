// QENController: how the caller of a command-payload run follows and steers it: asked before
// every command whether to go on, told when the run starts and ends and how far it has got.
#pragma once

class QENController {
public:
    virtual ~QENController() {}

    // Handles the control and question messages pending for the run; false asks the engine to
    // stop before the next command.
    virtual bool HandleControlMessages() = 0;
    // Once at the start of every install, repair and uninstall run.
    virtual void InstallStarted() = 0;
    // Progress as the scripts report it, 0 to 1.
    virtual void InstallFractionComplete(double fraction) = 0;
    // Once at the end of every run, with the run's result.
    virtual void InstallComplete(bool success) = 0;
};
