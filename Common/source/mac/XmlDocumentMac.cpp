// The half of XmlDocument that reads and writes files.
#include "Common/source/xplat/XmlDocument.h"

#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"
#include "Common/source/xplat/XmlDocumentWriter.h"
#include "XmlDocumentBuilder.h"

#include "platform/files/Files.h"
#include "platform/formats/XmlParser.h"

bool XmlDocument::Load(const std::string& path, boost::shared_ptr<XmlDocument>& document)
{
    XmlDocumentBuilder builder;
    if (!platform::ParseXmlFile(path, platform::kXmlParseSkipWhitespace, builder))
        return false;
    const boost::shared_ptr<XmlDocument> loaded = builder.Document();
    if (!loaded)
        return false;
    document = loaded;
    return true;
}

bool XmlDocument::Save(const std::string& path, bool overwrite)
{
    if (!overwrite) {
        // The existence test works on full paths only; anything else is refused here rather
        // than thrown at the caller.
        if (FileSystemUtils::ValidateUTF8FullPathString(path) != FileSystemUtils::kPathValid)
            return false;
        if (FileSystemUtils::Exists(FileSystemPath(path)))
            return false;
    }
    std::string bytes;
    if (!XmlDocumentWriter::WriteDocument(DocumentElement(), bytes))
        return false;
    return platform::WriteFileAtomically(path, bytes);
}
