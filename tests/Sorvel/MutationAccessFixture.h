// A fixture for the mutation-access publisher: the payload-operation world (a medium with the
// command payload "Sketch" and its image and the payload "Other" that conflicts with it, the
// installation database with the session's collection, an engine with its request queue) and the
// publisher, called by method name.
#pragma once

#include "Sorvel/source/xplat/SorvelMutationAccess.h"

#include "Common/source/xplat/CollectionUtils.h"
#include "PayloadOperationFixture.h"

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>
#include <vector>

namespace tolktest {

class MutationAccessTest : public PayloadOperationTest {
protected:
    typedef std::vector<std::string> Args;

    static constexpr const char* kCode = "{5C3E7A10-0000-4000-8000-000000000001}";
    static constexpr const char* kOther = "{5C3E7A10-0000-4000-8000-000000000009}";

    void SetUp() override
    {
        PayloadOperationTest::SetUp();
        target_ = sysroot_.Path("/Applications/Sketch");
        AddCommandPayload("Sketch", kCode, Instructions(target_));
        AddProxy("Other", ProxyXml(kOther, "Other", "1.0",
                                   std::string("<Conflicts><OrvexCode>") + kCode + "</OrvexCode></Conflicts>"));
        key_ = Session()->GetSessionKey();
        AddCollection(key_);
        publisher_.reset(new SorvelMutationAccess(&Engine(), nullptr));
    }
    void TearDown() override
    {
        publisher_.reset();
        PayloadOperationTest::TearDown();
    }

    // Installs a folder and records the payload; a repair leaves a marker folder. Before its
    // first command the script may wait for a file to appear.
    static std::string Instructions(const std::string& target, const std::string& waitFor = "")
    {
        const std::string wait =
            waitFor.empty() ? ""
                            : "QENSpawn('/bin/sh', false, ['-c', 'while [ ! -e \"" + waitFor +
                                  "\" ]; do sleep 0.05; done']);\n";
        return wait + "var target = '" + target + "';\n"
               "var mode = QENGetProperty('INSTALL_MODE');\n"
               "if (mode == 'install') {\n"
               "  if (!QENCreateDirectory(target)) throw new Error('no folder');\n"
               "  QENAddToUninstallScript(\"QENDeleteDirectory('\" + target + \"');\");\n"
               "  if (!QENCAPSWritePayloadData(QENGetProperty('sessionID'), QENGetProperty('orvexCode'), 'Sketch',\n"
               "      'Sketch', '1.0', '20240611.1', 'en_US', target, '', false, '', '',\n"
               "      ['setupVersion', 'sessionID'],\n"
               "      [QENGetProperty('setupVersion'), QENGetProperty('sessionID')], [], [], '',\n"
               "      QENGetProperty('QEN_PAYLOAD'), mode))\n"
               "    throw new Error('not recorded');\n"
               "} else if (mode == 'repair') {\n"
               "  QENCreateDirectory(target + ' Repaired');\n"
               "}\n";
    }

    static std::string Bencoded(const std::map<std::string, std::string>& properties)
    {
        std::string text;
        CollectionUtils::MapToBencodedDictionary(properties, text);
        return text;
    }
    // The properties a page passes with an install.
    std::string PageProperties() const { return Bencoded({{"sessionID", key_}, {"setupVersion", "2.0.0.0"}}); }
    // The collection's install properties as "key value" rows.
    Rows CollectionData(const std::string& collection)
    {
        return Query("SELECT key, value FROM collection_data WHERE collectionID = '" + collection + "' ORDER BY 1", 2);
    }

    std::string Call(const std::string& method, const Args& arguments = Args())
    {
        return Call(*publisher_, method, arguments);
    }
    static std::string Call(SorvelMutationAccess& publisher, const std::string& method, const Args& arguments)
    {
        std::string result = "<no answer>";
        EXPECT_TRUE(publisher.InvokeMethodByName(method, arguments, result)) << method;
        return result;
    }

    std::string target_;
    std::string key_;
    boost::shared_ptr<SorvelMutationAccess> publisher_;
};

}  // namespace tolktest
