#include "UIDriverSilentJSWorkflow.h"

#include <iostream>

bool UIDriverSilentJSWorkflow::Run()
{
    std::cerr << "The silent workflow cannot run in this build of Setup; use --mode=terminal." << std::endl;
    return false;
}
