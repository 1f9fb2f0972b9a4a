// QENController: how the caller of a command-payload run follows and steers it: asked before
// every command whether to go on, told when the run starts and ends, how far it has got and
// what the scripts want the user told about the run.
#pragma once

#include <string>

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
    // A named argument of the run's final status, which the user interface shows (a repair
    // names the files it put back); a later value for a name replaces the earlier one. Callers
    // that show nothing ignore it.
    virtual void InstallStatusArgument(const std::string& /*name*/, const std::string& /*value*/) {}
};
