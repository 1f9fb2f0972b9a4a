#include "platform/HostInfo.h"

#include "platform/SystemRoot.h"
#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <unistd.h>

#include <set>
#include <sstream>

namespace platform {

namespace {

DisplaySizeSource gDisplaySizeSource;  // main thread only

// The display the system root's settings declare; false when they declare none.
bool DeclaredDisplaySize(std::uint32_t& width, std::uint32_t& height)
{
    std::string text;
    PropertyValuePtr settings;
    if (!ReadWholeFile(SystemRoot::SettingsFilePath(), text) || !ParsePropertyList(text, settings))
        return false;
    ConstPropertyValuePtr display = settings->Get("display");
    if (!display)
        return false;
    ConstPropertyValuePtr w = display->Get("width");
    ConstPropertyValuePtr h = display->Get("height");
    if (!w || !h || w->GetType() != PropertyValue::kInteger || h->GetType() != PropertyValue::kInteger ||
        w->IntegerValue() < 0 || h->IntegerValue() < 0 || w->IntegerValue() > 0xFFFFFFFFLL ||
        h->IntegerValue() > 0xFFFFFFFFLL)
        return false;
    width = static_cast<std::uint32_t>(w->IntegerValue());
    height = static_cast<std::uint32_t>(h->IntegerValue());
    return true;
}

// "MemTotal:  16318480 kB" of /proc/meminfo.
bool MemInfoTotal(std::uint64_t& bytes)
{
    std::string text;
    if (!ReadWholeFile("/proc/meminfo", text))
        return false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, unit;
        std::uint64_t value = 0;
        if (fields >> name >> value >> unit && name == "MemTotal:" && unit == "kB") {
            bytes = value * 1024;
            return true;
        }
    }
    return false;
}

}  // namespace

bool PhysicalMemoryBytes(std::uint64_t& bytes)
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return MemInfoTotal(bytes);
    bytes = static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
    return true;
}

ProcessorFeatures ParseProcessorFeatures(const std::string& cpuinfo)
{
    // The first processor's flag list: "flags" on x86, "Features" elsewhere; a PowerPC names its
    // vector unit in the "cpu" line ("7447A, altivec supported").
    std::set<std::string> flags;
    bool listed = false;
    std::istringstream lines(cpuinfo);
    std::string line;
    while (std::getline(lines, line)) {
        const std::string::size_type colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string name = line.substr(0, colon);
        name.erase(name.find_last_not_of(" \t") + 1);
        const std::string value = line.substr(colon + 1);
        if (name == "cpu" && value.find("altivec") != std::string::npos)
            flags.insert("altivec");
        if ((name == "flags" || name == "Features") && !listed) {
            listed = true;
            std::istringstream words(value);
            std::string word;
            while (words >> word)
                flags.insert(word);
        }
    }
    ProcessorFeatures features;
    features.mmx = flags.count("mmx") != 0;
    features.nx = flags.count("nx") != 0;
    features.pae = flags.count("pae") != 0;
    features.sse = flags.count("sse") != 0;
    features.sse2 = flags.count("sse2") != 0;
    features.amd3DNow = flags.count("3dnow") != 0;
    features.altiVec = flags.count("altivec") != 0;
    return features;
}

bool ReadProcessorFeatures(ProcessorFeatures& features)
{
    std::string text;
    if (!ReadWholeFile("/proc/cpuinfo", text) || text.empty())
        return false;
    features = ParseProcessorFeatures(text);
    return true;
}

bool MainDisplaySize(std::uint32_t& width, std::uint32_t& height)
{
    if (DeclaredDisplaySize(width, height))
        return true;
    return gDisplaySizeSource && gDisplaySizeSource(width, height);
}

void SetMainDisplaySizeSource(DisplaySizeSource source)
{
    gDisplaySizeSource = std::move(source);
}

}  // namespace platform
