// The data-access methods that look at the host: answers against a system root's declared
// volumes, display and system version, its applications and a process table of the test's own.
#include "DataAccessFixture.h"

#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/LogFactory.h"
#include "Sorvel/source/xplat/SorvelConstants.h"

#include "platform/FaultInjection.h"
#include "platform/HostInfo.h"
#include "platform/desktop/LaunchServices.h"
#include "platform/desktop/RunningApplications.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <fstream>
#include <stdexcept>

namespace {

using tolktest::DataAccessTest;
using tolktest::MakeFolders;
using tolktest::WriteTextFile;

std::string InfoPlist(const std::string& entries)
{
    return "<plist version=\"1.0\"><dict>" + entries + "</dict></plist>";
}

// An application bundle under the folder that opens files of the extensions.
std::string MakeApplication(const std::string& folder, const std::string& name,
                            const std::vector<std::string>& extensions)
{
    const std::string bundle = folder + "/" + name + ".app";
    std::string list;
    for (const std::string& extension : extensions)
        list += "<string>" + extension + "</string>";
    MakeFolders(bundle + "/Contents/MacOS");
    WriteTextFile(bundle + "/Contents/Info.plist",
                  InfoPlist("<key>CFBundleName</key><string>" + name +
                            "</string><key>CFBundleDocumentTypes</key><array><dict>"
                            "<key>CFBundleTypeExtensions</key><array>" + list + "</array></dict></array>"));
    return bundle;
}

bool FileExists(const std::string& path)
{
    return access(path.c_str(), F_OK) == 0;
}

TEST_F(DataAccessTest, ConstructionNeedsAnEngineAndFixesTheMethodIDs)
{
    try {
        SorvelDataAccess publisher(nullptr, nullptr);
        FAIL() << "a null engine must throw";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "InstallerEngine instance not provided to SorvelDataAccess ctor");
    }

    const JSMethodPublisherInterface::MethodMap methods = publisher_->GetAllMethods();
    const char* const kInOrder[] = {"GetTolkBuildInfo", "GetDefaultProperties", "GetSessionData",
                                    "GetEULASForOrvexCode", "GetRunningApplications", "LoadFile", "GetSystemInfo",
                                    "GetCommandLineArguments", "GetFixedDriveInfo", "GetStreamsForOrvexCode",
                                    "GetVolumeStatisticsFromPath", "GetCAPS", "GetPathInformation",
                                    "GetDirectoryTokenMap", "GetUserInfo", "IsRestartNeeded", "GetStringsForLanguage",
                                    "IsPortForProtocolAvailable", "SetSessionInitialized",
                                    "GetPayloadPhysicalInstallState", "GetApplicationsForFileExtension",
                                    "GetApplicationInfo", "GetApplicationInfoFromIdentifier", "UpdateMediaInfoInCaps"};
    ASSERT_EQ(methods.size(), 24u);
    for (std::uint32_t id = 0; id < 24; ++id)
        EXPECT_EQ(methods.at(kInOrder[id]), id) << kInOrder[id];
}

TEST_F(DataAccessTest, EveryMethodChecksItsArgumentCountFirst)
{
    const std::string kWrongCount = "{\"_error\":\"1\"}";
    const struct {
        const char* method;
        Args arguments;
    } kCalls[] = {
        {"GetTolkBuildInfo", {"x"}},
        {"GetDefaultProperties", {"x"}},
        {"GetSessionData", {"x"}},
        {"GetEULASForOrvexCode", {}},
        {"GetRunningApplications", {"x"}},
        {"LoadFile", {}},
        {"LoadFile", {"/a", "/b"}},
        {"GetSystemInfo", {"x"}},
        {"GetCommandLineArguments", {"x"}},
        {"GetFixedDriveInfo", {"x"}},
        {"GetStreamsForOrvexCode", {}},
        {"GetStreamsForOrvexCode", {"a", "b"}},
        {"GetVolumeStatisticsFromPath", {}},
        {"GetPathInformation", {"/", "/"}},
        {"GetDirectoryTokenMap", {"x"}},
        {"GetUserInfo", {"x"}},
        {"IsRestartNeeded", {"x"}},
        {"GetStringsForLanguage", {}},
        {"IsPortForProtocolAvailable", {"80"}},
        {"IsPortForProtocolAvailable", {"80", "tcp", "x"}},
        {"SetSessionInitialized", {}},
        {"SetSessionInitialized", {"1", "1"}},
        {"GetPayloadPhysicalInstallState", {}},
        {"GetApplicationsForFileExtension", {}},
        {"GetApplicationInfo", {}},
        {"GetApplicationInfoFromIdentifier", {"a", "b"}},
        {"UpdateMediaInfoInCaps", {"{X}", "0", "1", "/p"}},
    };
    for (const auto& call : kCalls)
        EXPECT_EQ(Call(call.method, call.arguments), kWrongCount) << call.method << " with " << call.arguments.size();
}

TEST_F(DataAccessTest, PortCheck)
{
    EXPECT_EQ(Call("IsPortForProtocolAvailable", {"80", "TCP"}), "{\"_error\":\"2\"}") << "case-sensitive";
    EXPECT_EQ(Call("IsPortForProtocolAvailable", {"80", "udp"}), "{\"_error\":\"2\"}");
    EXPECT_EQ(Call("IsPortForProtocolAvailable", {"8o", "tcp"}), "{\"_error\":\"2\"}");
    EXPECT_EQ(Call("IsPortForProtocolAvailable", {" 80", "tcp"}), "{\"_error\":\"2\"}");
    // 65616 would otherwise be checked as port 80; 0 is not a port anything can listen on.
    EXPECT_EQ(Call("IsPortForProtocolAvailable", {"65616", "tcp"}), "{\"_error\":\"2\"}");
    EXPECT_EQ(Call("IsPortForProtocolAvailable", {"0", "tcp"}), "{\"_error\":\"2\"}");
    EXPECT_EQ(Call("IsPortForProtocolAvailable", {"-1", "tcp"}), "{\"_error\":\"2\"}");

    const int holder = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(holder, 0);
    sockaddr_in address;
    std::memset(&address, 0, sizeof(address));
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    socklen_t length = sizeof(address);
    ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));
    EXPECT_EQ(Call("IsPortForProtocolAvailable", {port, "tcp"}), "") << "a port in use answers no JSON at all";
    close(holder);
    EXPECT_EQ(Call("IsPortForProtocolAvailable", {port, "tcp"}), "{ \"success\": 1 }");
}

TEST_F(DataAccessTest, PathInformation)
{
    EXPECT_EQ(Call("GetPathInformation", {"relative/path"}),
              "{\"isValidPath\":\"0\",\"isValidCharacters\":\"1\",\"isValidLength\":\"1\"}");
    EXPECT_EQ(Call("GetPathInformation", {"/" + std::string(300, 'a')}),
              "{\"isValidPath\":\"0\",\"isValidCharacters\":\"1\",\"isValidLength\":\"0\"}");
    EXPECT_EQ(Call("GetPathInformation", {std::string("/tmp\0/x", 7)}),
              "{\"isValidPath\":\"0\",\"isValidCharacters\":\"0\",\"isValidLength\":\"1\"}");

    const std::string root = sysroot_.Root();
    EXPECT_EQ(Call("GetPathInformation", {root}),
              "{\"isValidPath\":\"1\",\"isValidCharacters\":\"1\",\"isValidLength\":\"1\",\"volumeInfo\":{\"rootPath\":\"" +
                  root +
                  "\",\"isLocal\":\"1\",\"isWritable\":\"1\",\"isCaseSensitive\":\"0\",\"fileSystemTypeName\":\"hfs\"},"
                  "\"isRootPartition\":\"1\",\"pathExists\":\"1\"}");

    const std::string data = sysroot_.Path("/Volumes/Data");
    EXPECT_EQ(Call("GetPathInformation", {data + "/missing/deeper"}),
              "{\"isValidPath\":\"1\",\"isValidCharacters\":\"1\",\"isValidLength\":\"1\",\"volumeInfo\":{\"rootPath\":\"" +
                  data +
                  "\",\"isLocal\":\"1\",\"isWritable\":\"0\",\"isCaseSensitive\":\"0\",\"fileSystemTypeName\":\"msdos\"},"
                  "\"isRootPartition\":\"0\",\"pathExists\":\"0\"}");

    const nlohmann::json server = nlohmann::json::parse(Call("GetPathInformation", {sysroot_.Path("/Volumes/Server")}));
    EXPECT_EQ(server["volumeInfo"]["isLocal"], "0");
}

TEST_F(DataAccessTest, LoadFile)
{
    const std::string folder = sysroot_.Scratch();
    EXPECT_EQ(Call("LoadFile", {folder + "/missing.txt"}), "{\"_error\":\"4\"}");
    WriteTextFile(folder + "/empty.txt", "");
    EXPECT_EQ(Call("LoadFile", {folder + "/empty.txt"}), "{\"data\":\"\"}");
    WriteTextFile(folder + "/text.txt", "say \"hi\"\nit's");
    EXPECT_EQ(Call("LoadFile", {folder + "/text.txt"}), "{\"data\":\"say \\\"hi\\\"\\nit\\'s\"}");
    EXPECT_EQ(Call("LoadFile", {folder}), "{\"_error\":\"9999\"}") << "a folder cannot be read as a file";
    EXPECT_TRUE(Fails("LoadFile", {"relative.txt"})) << "no valid path: the call fails without an answer";
}

TEST_F(DataAccessTest, SystemInfo)
{
    std::uint64_t bytes = 0;
    ASSERT_TRUE(platform::PhysicalMemoryBytes(bytes));
    platform::ProcessorFeatures cpu;
    ASSERT_TRUE(platform::ReadProcessorFeatures(cpu));
    const auto flag = [](bool set) { return set ? std::string("\"1\"") : std::string("\"0\""); };
    const std::string facts =
        "\"Memory\":{\"system\":\"" + std::to_string(bytes >> 20) + "\"},\"CPU\":{\"MMX\":" + flag(cpu.mmx) +
        ",\"NX\":" + flag(cpu.nx) + ",\"PAE\":" + flag(cpu.pae) + ",\"SSE\":" + flag(cpu.sse) +
        ",\"SSE2\":" + flag(cpu.sse2) + ",\"3DNow\":" + flag(cpu.amd3DNow) + ",\"AltiVec\":" + flag(cpu.altiVec) +
        "},\"Architecture\":{\"Intel32\":\"0\",\"PPC\":\"0\",\"AMD64\":\"0\",\"Itanium64\":\"0\"},"
        "\"Macintosh\":{\"VersionMajor\":\"10\",\"VersionMinor\":\"4\",\"VersionDot\":\"11\",\"Version\":\"10.4.11\"";
    const std::string display = "{\"Display\":{\"width\":\"1440\",\"height\":\"900\"},";
    EXPECT_EQ(Call("GetSystemInfo"), display + facts + "}}");
    WriteTextFile(sysroot_.Path("/System/Library/CoreServices/ServerVersion.plist"), "");
    EXPECT_EQ(Call("GetSystemInfo"), display + facts + ",\"IsServer\":\"1\"}}");

    // Without a display the machine's facts are still answered.
    WriteSettings(false);
    EXPECT_EQ(Call("GetSystemInfo"), "{" + facts + ",\"IsServer\":\"1\"}}");

    WriteTextFile(sysroot_.Path("/System/Library/CoreServices/SystemVersion.plist"),
                  "<plist version=\"1.0\"><dict><key>ProductVersion</key><string>10.5</string></dict></plist>");
    EXPECT_EQ(Call("GetSystemInfo"), "{\"_error\":\"8\"}") << "a system version without its third number";
}

TEST_F(DataAccessTest, VolumeStatistics)
{
    const std::string data = sysroot_.Path("/Volumes/Data");
    EXPECT_EQ(Call("GetVolumeStatisticsFromPath", {data + "/some/file"}),
              "{\"totalSize\":\"1000000\",\"freeSize\":\"250000\",\"friendlyName\":\"Data \\\"2\\\"\",\"rootPath\":\"" +
                  data + "\"}");
    EXPECT_EQ(Call("GetVolumeStatisticsFromPath", {"not/absolute"}),
              "{\"_error\":\"9999\",\"what\":\"Invalid path passed to FileSystemPath constructor.\"}");
}

TEST_F(DataAccessTest, DirectoryTokensResolveOnlyTheKnownFolders)
{
    ASSERT_FALSE(FileExists(sysroot_.Home() + "/Library/Preferences"));
    const nlohmann::json tokens = nlohmann::json::parse(Call("GetDirectoryTokenMap"));
    std::vector<std::string> names;
    for (auto it = tokens.begin(); it != tokens.end(); ++it)
        names.push_back(it.key());
    EXPECT_EQ(names, (std::vector<std::string>{"[Common]", "[FontsFolder]", "[Library]", "[OrvexCommon]",
                                               "[OrvexProgramFiles]", "[ProgramFiles]", "[ScriptingAdditions]",
                                               "[SharedApplicationData]", "[SharedDocuments]", "[UserPreferences]",
                                               "[Utilities]"}));
    EXPECT_EQ(tokens["[OrvexCommon]"], sysroot_.Path("/Library/Application Support/Orvex"));
    EXPECT_EQ(tokens["[UserPreferences]"], sysroot_.Home() + "/Library/Preferences");
    EXPECT_TRUE(FileExists(sysroot_.Home() + "/Library/Preferences")) << "resolving creates the folder";
}

TEST_F(DataAccessTest, ApplicationsForFileExtension)
{
    const std::string applications = sysroot_.Path("/Applications");
    const std::string sketch = MakeApplication(applications, "Sketch", {"SKETCH", "png"});
    MakeApplication(applications, "Viewer", {"png"});
    const std::string anything = MakeApplication(sysroot_.Scratch(), "Anything", {"*"});
    ASSERT_EQ(platform::RegisterApplication(anything, false), 0);
    ASSERT_EQ(platform::RegisterApplication(sketch, false), 0);

    EXPECT_EQ(Call("GetApplicationsForFileExtension", {"sketch"}),
              "{\"applications\":[\"" + anything + "\",\"" + sketch + "\"]}")
        << "registered ones first, each once, extensions ignoring case";
    const nlohmann::json png = nlohmann::json::parse(Call("GetApplicationsForFileExtension", {"png"}));
    EXPECT_EQ(png["applications"].size(), 3u);

    // With no application that takes every type, an unknown type finds none and still succeeds.
    WriteTextFile(platform::ApplicationRegistryPath(), "");
    EXPECT_EQ(Call("GetApplicationsForFileExtension", {"unclaimed"}), "{\"applications\":[]}");
    EXPECT_EQ(Call("GetApplicationsForFileExtension", {"a/b"}), "{\"_error\":\"9999\"}");
}

TEST_F(DataAccessTest, ApplicationInfo)
{
    const std::string bundle = sysroot_.Scratch() + "/Tool.app";
    MakeFolders(bundle + "/Contents");
    WriteTextFile(bundle + "/Contents/Info.plist",
                  InfoPlist("<key>CFBundleName</key><string>Tool</string><key>CFBundleVersion</key><string>1.2"
                            "</string><key>LSMinimumSystemVersion</key><integer>10</integer>"
                            "<key>CFBundleIdentifier</key><string>com.example.tool</string>"));
    EXPECT_EQ(Call("GetApplicationInfo", {bundle}),
              "{\"CFBundleIdentifier\":\"com.example.tool\",\"CFBundleName\":\"Tool\",\"CFBundleVersion\":\"1.2\"}");
    EXPECT_EQ(Call("GetApplicationInfo", {sysroot_.Scratch()}), "{\"_error\":\"9999\"}") << "no Info.plist";
    EXPECT_EQ(Call("GetApplicationInfo", {sysroot_.Scratch() + "/Missing.app"}), "{\"_error\":\"9999\"}");
    EXPECT_TRUE(Fails("GetApplicationInfo", {"Tool.app"}));
    EXPECT_EQ(Call("GetApplicationInfoFromIdentifier", {"com.example.tool"}), "{}");
}

class FixedDriveTest : public DataAccessTest {
protected:
    // Paths of the icons named in the answer, by volume root.
    std::map<std::string, std::string> Icons(const std::string& answer)
    {
        std::map<std::string, std::string> icons;
        for (const nlohmann::json& volume : nlohmann::json::parse(answer))
            icons[volume["driveID"]] = volume["imagePath"];
        return icons;
    }

    void TearDown() override
    {
        platform::SetFaultHookForTesting(platform::FaultHook());
        DataAccessTest::TearDown();
    }
};

TEST_F(FixedDriveTest, ListsTheLocalVolumesWithIcons)
{
    const std::string answer = Call("GetFixedDriveInfo");
    const nlohmann::json volumes = nlohmann::json::parse(answer);
    ASSERT_TRUE(volumes.is_array()) << answer;
    ASSERT_EQ(volumes.size(), 2u) << "the server volume and the machine's own mounts are not local: " << answer;
    const std::string root = sysroot_.Root();
    const std::string data = sysroot_.Path("/Volumes/Data");
    // In the order of the root paths.
    EXPECT_EQ(volumes[0]["driveID"], root);
    EXPECT_EQ(volumes[0]["friendlyName"], "Macintosh HD");
    EXPECT_EQ(volumes[0]["isSystemVolume"], "1");
    EXPECT_EQ(volumes[1]["driveID"], data);
    EXPECT_EQ(volumes[1]["friendlyName"], "Data \"2\"");
    EXPECT_EQ(volumes[1]["isSystemVolume"], "0");
    EXPECT_EQ(answer.substr(1, 12), "{\"driveID\":\"") << "the members in their order";

    for (const auto& icon : Icons(answer)) {
        std::ifstream file(icon.second, std::ios::binary);
        std::string head(4, '\0');
        ASSERT_TRUE(file.read(&head[0], 4)) << icon.second;
        EXPECT_EQ(head, std::string("II*\0", 4)) << "a TIFF file";
    }

    // The next call writes new icons and the old ones go; the last ones go with the publisher.
    const std::map<std::string, std::string> first = Icons(answer);
    const std::map<std::string, std::string> second = Icons(Call("GetFixedDriveInfo"));
    for (const auto& icon : first)
        EXPECT_FALSE(FileExists(icon.second)) << icon.second;
    for (const auto& icon : second)
        EXPECT_TRUE(FileExists(icon.second)) << icon.second;
    publisher_.reset();
    for (const auto& icon : second)
        EXPECT_FALSE(FileExists(icon.second)) << icon.second;
}

TEST_F(FixedDriveTest, AVolumeWithoutIconIsStillListedAndWarned)
{
    const std::string data = sysroot_.Path("/Volumes/Data");
    platform::SetFaultHookForTesting([data](const std::string& operation, const std::string& path) {
        return operation == "volume-icon-write" && path == data ? EIO : 0;
    });
    Logger* logger = LogFactory::Instance().GetLogger(SorvelConstants::kSorvelLog);
    ASSERT_NE(logger, nullptr);
    const std::string log = sysroot_.Scratch() + "/sorvel.log";
    logger->SetLogfilePath(log);
    const std::map<std::string, std::string> icons = Icons(Call("GetFixedDriveInfo"));
    logger->SetLogfilePath(SorvelConstants::kSorvelLog);

    EXPECT_EQ(icons.at(data), "");
    EXPECT_NE(icons.at(sysroot_.Root()), "");
    const std::string text = tolktest::ReadTextFile(log);
    EXPECT_NE(text.find("Unable to write volume image for volume \"Data \"2\"\" at path \"/tmp/.temp"), std::string::npos)
        << text;
}

TEST(FixedVolumeInfoTest, ExactlyOneCopyDeletesTheIcon)
{
    char pattern[] = "/tmp/tolk-icon-XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    const FileSystemPath icon{std::string(pattern)};
    {
        SorvelDataAccess::FixedVolumeInfo owner("Disk", true, icon, true);
        SorvelDataAccess::FixedVolumeInfo copy(owner);
        {
            SorvelDataAccess::FixedVolumeInfo third("Other", false);
            third = copy;
            third = third;
            EXPECT_EQ(third.FriendlyName(), "Disk");
            EXPECT_TRUE(third.IsSystemVolume());
        }
        EXPECT_FALSE(FileExists(pattern)) << "the last record that took the file over deleted it";
    }

    // A record that owns a file and is assigned another record's does not leave its own behind.
    char other[] = "/tmp/tolk-icon-XXXXXX";
    const int otherFd = mkstemp(other);
    ASSERT_GE(otherFd, 0);
    close(otherFd);
    {
        SorvelDataAccess::FixedVolumeInfo owner("A", false, FileSystemPath(std::string(other)), true);
        owner = SorvelDataAccess::FixedVolumeInfo("B", false);
        EXPECT_FALSE(FileExists(other));
        EXPECT_FALSE(owner.HasImage());
    }
}

class RunningApplicationsTest : public DataAccessTest {
protected:
    void TearDown() override
    {
        platform::SetProcessTableForTesting(boost::shared_ptr<const platform::ProcessTableForTesting>());
        DataAccessTest::TearDown();
    }

    static platform::PropertyValuePtr Process(const std::string& executable, const std::string& name)
    {
        platform::PropertyValuePtr information = platform::PropertyValue::MakeDictionary();
        if (!executable.empty())
            information->Set("CFBundleExecutable", platform::PropertyValue::MakeString(executable));
        if (!name.empty())
            information->Set("CFBundleName", platform::PropertyValue::MakeString(name));
        return information;
    }
};

TEST_F(RunningApplicationsTest, ListsEveryProcessWithAnExecutable)
{
    boost::shared_ptr<platform::ProcessTableForTesting> table(new platform::ProcessTableForTesting);
    table->processes = {Process("/Applications/Sketch.app/Contents/MacOS/Sketch", "Orvex \"Sketch\""),
                        platform::PropertyValuePtr(), Process("/usr/bin/helper", ""), Process("", "No Executable")};
    platform::SetProcessTableForTesting(table);
    EXPECT_EQ(Call("GetRunningApplications"),
              "{\"Applications\":[{\"osName\":\"Sketch\",\"friendlyName\":\"Orvex \\\"Sketch\\\"\"},"
              "{\"osName\":\"helper\",\"friendlyName\":\"helper\"}]}");

    table->endError = -50;
    EXPECT_EQ(Call("GetRunningApplications"), "{\"_error\":\"9999\"}") << "a walk that ends in an error";
}

TEST_F(RunningApplicationsTest, FindsThisProcess)
{
    const nlohmann::json answer = nlohmann::json::parse(Call("GetRunningApplications"));
    bool found = false;
    for (const nlohmann::json& application : answer["Applications"])
        found = found || application["osName"] == "sorvel_tests";
    EXPECT_TRUE(found);
}

}  // namespace
