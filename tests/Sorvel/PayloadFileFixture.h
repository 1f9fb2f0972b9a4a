// A fixture for the payload file models: writes XML texts into a scratch folder, loads them into
// a store and reads back what a store would save, without the XML declaration.
#pragma once

#include "Common/source/xplat/XmlObjectDataStore.h"

#include "tests/support/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <string>

namespace tolktest {

// The medium that the README runs, whose payload files the models must read.
inline std::string ExamplePayloadsFolder()
{
    return TOLK_SOURCE_DIR "/examples/payloads";
}

class PayloadFileTest : public SystemRootTest {
protected:
    // Writes the text to scratch/name and answers the path.
    std::string WriteXml(const std::string& name, const std::string& text)
    {
        const std::string path = sysroot_.Scratch() + "/" + name;
        WriteTextFile(path, text);
        return path;
    }

    // The text the store saves now, without the declaration; "" when it cannot save.
    std::string Saved(const XmlObjectDataStore& store)
    {
        static const std::string kHeader = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
        const std::string path = sysroot_.Scratch() + "/saved.xml";
        if (!store.Save(path, true))
            return std::string();
        const std::string text = ReadTextFile(path);
        return text.compare(0, kHeader.size(), kHeader) == 0 ? text.substr(kHeader.size()) : text;
    }
};

}  // namespace tolktest
