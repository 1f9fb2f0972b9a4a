#include "PrivilegedCopy.h"

#include "platform/Authorization.h"
#include "platform/Folders.h"
#include "platform/SessionEnvironment.h"
#include "platform/SystemRoot.h"
#include "platform/files/TrustedPath.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

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

// The entry of the table that the argument names, or null.
const HandedValue* Find(const std::string& argument)
{
    for (const HandedValue& handed : kHandedValues) {
        if (argument == handed.argument)
            return &handed;
    }
    return nullptr;
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
    // A copy that acts for another user (pkexec names that user) has of that user's choices only
    // what it takes here and checks: the authoriser may have kept the user's own display, X
    // authority and languages in the environment, unchecked.
    const uid_t invoker = platform::InvokingUser();
    const bool forAnotherUser = invoker != geteuid();
    if (forAnotherUser)
        platform::ForgetSessionValues();

    // The pairs come first, as the relaunch puts them, and are read once from the left: a value
    // is never read as a name, so that no value can take another name's place or hide one.
    std::vector<std::pair<const HandedValue*, std::string> > pairs;
    std::string malformed;
    std::size_t end = 1;
    while (end < arguments.size()) {
        const HandedValue* handed = Find(arguments[end]);
        if (handed == nullptr)
            break;
        if (end + 1 == arguments.size()) {
            malformed = "\"" + arguments[end] + "\" has no value";
            end = arguments.size();
            break;
        }
        for (const auto& pair : pairs) {
            if (pair.first == handed)
                malformed = "\"" + arguments[end] + "\" is given twice";
        }
        pairs.emplace_back(handed, arguments[end + 1]);
        end += 2;
    }
    arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(1, arguments.size())),
                    arguments.begin() + static_cast<std::ptrdiff_t>(std::min(end, arguments.size())));
    if (!malformed.empty()) {
        problems.push_back("Refused to take the values handed to Setup: " + malformed);
        pairs.clear();
    }

    bool homeHanded = false;
    for (const auto& pair : pairs) {
        std::string problem;
        if (Take(*pair.first, pair.second, problem) != 0)
            problems.push_back(problem);
        homeHanded = homeHanded || std::string(pair.first->argument) == kUserHomeArgument;
    }
    // Without the user's home judged, the copy has no user domain: its own home is the
    // super-user's, never that user's.
    if (forAnotherUser && !homeHanded) {
        platform::DropUserDomain();
        problems.push_back("Refused to use a user domain: no home folder of user " + platform::DescribeUser(invoker) +
                           " was handed to Setup");
    }
}

}  // namespace PrivilegedCopy
