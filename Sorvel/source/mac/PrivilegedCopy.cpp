#include "PrivilegedCopy.h"

#include "platform/Authorization.h"
#include "platform/Folders.h"
#include "platform/SessionEnvironment.h"
#include "platform/SystemRoot.h"

#include <cstdlib>

namespace PrivilegedCopy {

namespace {

// What is handed over: the argument, and the variable of the relaunching process that gives its
// value.
struct HandedValue {
    const char* argument;
    const char* variable;
};

const char kUserHomeArgument[] = "-userHome";

const HandedValue kHandedValues[] = {
    {"-DISPLAY", "DISPLAY"},     {"-XAUTHORITY", "XAUTHORITY"}, {"-TOLK_SYSTEM_ROOT", "TOLK_SYSTEM_ROOT"},
    {"-LANG", "LANG"},           {"-LANGUAGE", "LANGUAGE"},     {"-LC_ALL", "LC_ALL"},
    {kUserHomeArgument, "HOME"},
};

// Applies one value: 0, or an errno value with the problem.
int Take(const HandedValue& handed, const std::string& value, std::string& problem)
{
    const std::string variable = handed.variable;
    if (std::string(handed.argument) == kUserHomeArgument)
        return platform::SetUserDomainHome(value, platform::InvokingUser(), problem);
    if (variable == platform::SystemRoot::kEnvironmentVariable) {
        platform::SystemRoot::SetPath(value);
        return 0;
    }
    return platform::TakeSessionValue(variable, value, platform::InvokingUser(), problem);
}

}  // namespace

std::vector<std::string> ValueArguments()
{
    std::vector<std::string> arguments;
    for (const HandedValue& handed : kHandedValues) {
        const char* value = std::getenv(handed.variable);
        if (value == nullptr || *value == '\0')
            continue;
        arguments.push_back(handed.argument);
        arguments.push_back(value);
    }
    return arguments;
}

void TakeValues(std::vector<std::string>& arguments, std::vector<std::string>& problems)
{
    for (const HandedValue& handed : kHandedValues) {
        bool taken = false;
        for (std::size_t i = 1; i + 1 < arguments.size();) {
            if (arguments[i] != handed.argument) {
                ++i;
                continue;
            }
            std::string problem;
            if (!taken && Take(handed, arguments[i + 1], problem) != 0)
                problems.push_back(problem);
            taken = true;
            arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                            arguments.begin() + static_cast<std::ptrdiff_t>(i + 2));
        }
    }
}

}  // namespace PrivilegedCopy
