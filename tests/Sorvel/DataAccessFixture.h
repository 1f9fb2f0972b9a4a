// A fixture for the data-access publisher: a system root whose volumes are only those it
// declares (the machine's own mounts are replaced by one non-local "/"), an engine over a
// medium folder in the scratch area, and the publisher, called by method name.
#pragma once

#include "Sorvel/source/xplat/InstallerEngine.h"
#include "Sorvel/source/xplat/SorvelDataAccess.h"

#include "platform/files/Volumes.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <boost/shared_ptr.hpp>

#include <string>
#include <vector>

namespace tolktest {

class DataAccessTest : public SystemRootTest {
protected:
    typedef std::vector<std::string> Args;

    void SetUp() override
    {
        WriteTextFile(sysroot_.Scratch() + "/mountinfo", "1 0 0:1 / / rw - ext4 /nonexistent-device rw\n");
        platform::SetMountTableForTesting(sysroot_.Scratch() + "/mountinfo");
        MakeFolders(sysroot_.Path("/Volumes/Data"));
        MakeFolders(sysroot_.Path("/Volumes/Server"));
        WriteTextFile(sysroot_.Path("/dev/disk1s1"), "");
        WriteSettings(true);
        medium_ = sysroot_.Path("/Users/Shared/medium");
        MakeFolders(medium_);
        engine_.reset(new InstallerEngine(FileSystemPath(medium_)));
        engine_->ProcessArgumentVector({});
        publisher_.reset(new SorvelDataAccess(engine_.get(), nullptr));
    }

    void TearDown() override
    {
        publisher_.reset();
        platform::SetMountTableForTesting(std::string());
    }

    // The start-up volume, a local data volume and a server volume, with or without a display.
    void WriteSettings(bool withDisplay)
    {
        const std::string display =
            withDisplay ? "<key>display</key><dict><key>width</key><integer>1440</integer>"
                          "<key>height</key><integer>900</integer></dict>"
                        : "";
        sysroot_.WritePlatformSettings(
            "<plist version=\"1.0\"><dict>" + display +
            "<key>volumes</key><array>"
            "<dict><key>mount-point</key><string>/</string><key>mounted-from</key><string>/dev/disk0s2</string>"
            "<key>type</key><string>hfs</string><key>name</key><string>Macintosh HD</string>"
            "<key>writable</key><true/><key>case-sensitive</key><false/><key>removable</key><false/></dict>"
            "<dict><key>mount-point</key><string>/Volumes/Data</string>"
            "<key>mounted-from</key><string>/dev/disk1s1</string><key>type</key><string>msdos</string>"
            "<key>name</key><string>Data \"2\"</string><key>writable</key><false/>"
            "<key>capacity</key><integer>1000000</integer><key>free</key><integer>250000</integer></dict>"
            "<dict><key>mount-point</key><string>/Volumes/Server</string>"
            "<key>mounted-from</key><string>server:/share</string><key>type</key><string>nfs</string>"
            "<key>name</key><string>Server</string></dict>"
            "</array></dict></plist>");
    }

    // The answer of a method that ran to its end.
    std::string Call(const std::string& method, const Args& arguments = Args())
    {
        std::string result = "<no answer>";
        EXPECT_TRUE(publisher_->InvokeMethodByName(method, arguments, result)) << method;
        return result;
    }

    // Whether the invocation failed as a whole (the page would get null).
    bool Fails(const std::string& method, const Args& arguments)
    {
        std::string result = "untouched";
        const bool invoked = publisher_->InvokeMethodByName(method, arguments, result);
        EXPECT_EQ(result, "untouched");
        return !invoked;
    }

    std::string medium_;
    boost::shared_ptr<InstallerEngine> engine_;
    boost::shared_ptr<SorvelDataAccess> publisher_;
};

}  // namespace tolktest
