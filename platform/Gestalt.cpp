#include "platform/Gestalt.h"

#include "platform/Folders.h"
#include "platform/SystemRoot.h"
#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <sstream>
#include <string>
#include <vector>

namespace platform {

namespace {

const char kSystemVersionFile[] = "/System/Library/CoreServices/SystemVersion.plist";

// The parts of "ProductVersion"; false when the file or the version cannot be read, with why.
bool ReadVersionParts(std::vector<int>& parts, std::string& problem)
{
    std::string bytes;
    PropertyValuePtr plist;
    std::string text;
    if (!ReadWholeFile(SystemRoot::Resolve(kSystemVersionFile), bytes)) {
        problem = "it cannot be read";
        return false;
    }
    if (!ParsePropertyList(bytes, plist) || !plist->IsDictionary()) {
        problem = "it is no property list that can be read";
        return false;
    }
    if (!plist->GetString("ProductVersion", text)) {
        problem = "it has no \"ProductVersion\" text";
        return false;
    }
    std::istringstream stream(text);
    std::string part;
    bool numbers = true;
    while (numbers && std::getline(stream, part, '.')) {
        numbers = !part.empty() && part.size() <= 4 && part.find_first_not_of("0123456789") == std::string::npos;
        if (numbers)
            parts.push_back(std::stoi(part));
    }
    if (numbers && !parts.empty() && parts.size() <= 3 && parts[0] <= 99)
        return true;
    problem = "its \"ProductVersion\" \"" + text + "\" is no version of one to three numbers";
    parts.clear();
    return false;
}

bool ReadVersionParts(std::vector<int>& parts)
{
    std::string problem;
    return ReadVersionParts(parts, problem);
}

std::int32_t ToBCD(int value)
{
    return ((value / 10) % 10) << 4 | (value % 10);
}

}  // namespace

int Gestalt(std::uint32_t selector, std::int32_t& response)
{
    if (selector == FourCharCode('s', 'y', 's', 'a')) {
#if defined(__i386__) || defined(__x86_64__)
        response = kGestaltIntel;
        return 0;
#else
        return kGestaltUndefSelectorErr;
#endif
    }
    if (selector == FourCharCode('p', 'p', 'c', 'f'))
        return kGestaltUndefSelectorErr;

    const char* const kParts[] = {"sys1", "sys2", "sys3"};
    for (std::size_t index = 0; index < 3; ++index) {
        if (selector != FourCharCode(kParts[index][0], kParts[index][1], kParts[index][2], kParts[index][3]))
            continue;
        std::vector<int> parts;
        if (!ReadVersionParts(parts) || parts.size() <= index)
            return kGestaltUndefSelectorErr;
        response = parts[index];
        return 0;
    }

    if (selector == FourCharCode('s', 'y', 's', 'v')) {
        std::vector<int> parts;
        if (!ReadVersionParts(parts))
            return kGestaltUndefSelectorErr;
        parts.resize(3, 0);
        const int minor = parts[1] > 9 ? 9 : parts[1];
        const int bugFix = parts[2] > 9 ? 9 : parts[2];
        response = (ToBCD(parts[0]) << 8) | (minor << 4) | bugFix;
        return 0;
    }
    return kGestaltUndefSelectorErr;
}

std::string SystemVersionFilePath()
{
    return SystemRoot::Resolve(kSystemVersionFile);
}

std::string SystemVersionProblem()
{
    std::vector<int> parts;
    std::string problem;
    return ReadVersionParts(parts, problem) ? std::string() : problem;
}

}  // namespace platform
