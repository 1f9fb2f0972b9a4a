#include "tests/support/PayloadImages.h"

#include "platform/files/Files.h"
#include "platform/formats/PropertyList.h"

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace tolktest {

namespace fs = std::filesystem;

void WritePayloadTree(const std::string& folder)
{
    MakeFolders(folder + "/Assets/Fonts");
    MakeFolders(folder + "/Assets/Empty");
    WriteTextFile(folder + "/Proxy.xml", "<proxy><property name=\"ProductName\">Sample</property></proxy>\n");
    WriteTextFile(folder + "/Conditions.js", "true;\n");
    WriteTextFile(folder + "/Instructions.js", "CreateFolder(\"/Applications/Sample\");\n");
    WriteTextFile(folder + "/Assets/Fonts/Sample.otf", std::string(40000, 'f'));
    WriteTextFile(folder + "/Assets/tool.sh", "#!/bin/sh\nexit 0\n");
    chmod((folder + "/Assets/tool.sh").c_str(), 0755);
    fs::create_symlink("Fonts/Sample.otf", folder + "/Assets/Current");
}

std::string MakeFolderImage(const std::string& folder, const std::string& name)
{
    const std::string image = folder + "/" + name;
    WritePayloadTree(image);
    return image;
}

std::string MakeFileImage(const std::string& folder, const std::string& name, platform::DiskImageFormat format,
                          const std::string& passphrase)
{
    const std::string source = folder + "/" + name + ".source";
    WritePayloadTree(source);
    const std::string image = folder + "/" + name;
    std::string error;
    if (!platform::WriteDiskImage(source, image, format, passphrase, error))
        throw std::runtime_error("cannot write image " + image + ": " + error);
    fs::remove_all(source);
    return image;
}

void RecordToolCalls(const TempSystemRoot& sysroot)
{
    MakeFolders(sysroot.Path("/.tolk/tool-calls"));
}

std::vector<std::vector<std::string> > RecordedToolCalls(const TempSystemRoot& sysroot)
{
    std::vector<std::string> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(sysroot.Path("/.tolk/tool-calls")))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    std::vector<std::vector<std::string> > calls;
    for (const std::string& file : files) {
        std::string bytes;
        platform::PropertyValuePtr record;
        if (!platform::ReadWholeFile(file, bytes) || !platform::ParsePropertyList(bytes, record) || !record)
            throw std::runtime_error("unreadable tool-call record " + file);
        std::vector<std::string> arguments;
        platform::ConstPropertyValuePtr list = record->Get("arguments");
        if (list) {
            for (const platform::PropertyValuePtr& argument : list->ArrayItems())
                arguments.push_back(argument->StringValue());
        }
        calls.push_back(arguments);
    }
    return calls;
}

bool ProcessMayMount()
{
    char folder[] = "/tmp/.tolk-mount-probeXXXXXX";
    if (mkdtemp(folder) == nullptr)
        return false;
    const bool mounted = mount(folder, folder, nullptr, MS_BIND, nullptr) == 0;
    if (mounted)
        umount2(folder, MNT_DETACH);
    rmdir(folder);
    return mounted;
}

void ReplaceToolWithScript(const TempSystemRoot& sysroot, const std::string& toolPath, const std::string& script)
{
    const std::string path = sysroot.Path(toolPath);
    fs::remove(path);
    WriteTextFile(path, script);
    chmod(path.c_str(), 0755);
}

}  // namespace tolktest
