#include "PDFSettingUtils.h"

#include "Common/source/mac/MacUtils.h"
#include "Common/source/xplat/FileSystemPath.h"
#include "Common/source/xplat/FileSystemUtils.h"

#include "platform/Folders.h"
#include "platform/formats/PropertyList.h"

#include <stdexcept>

using platform::PropertyValue;
using platform::PropertyValuePtr;

namespace {

// The maker's reverse-DNS prefix, as in the setup program's own bundle identifier.
const char* const kMakerDomainPrefix = "com.orvex";

std::string GetPDFSettingsFileName()
{
    return std::string(kMakerDomainPrefix) + ".PDFAdminSettings.plist";
}

bool GetPDFSettingsFilePath(FileSystemPath& path)
{
    std::string folder;
    if (!MacUtils::StdStringFindFolder(platform::kLocalDomain, platform::FourCharCode('p', 'r', 'e', 'f'), true,
                                       folder))
        return false;
    FileSystemPath file(folder);
    file.AppendUTF8Segment(GetPDFSettingsFileName());
    path = file;
    return true;
}

bool GetPDFSettingsFolderPath(std::string& path)
{
    std::string folder;
    if (!MacUtils::StdStringFindFolder(platform::kLocalDomain, platform::FourCharCode('a', 's', 'u', 'p'), true,
                                       folder))
        return false;
    FileSystemPath settings(folder);
    settings.AppendUTF8Segment("Orvex").AppendUTF8Segment("Orvex PDF").AppendUTF8Segment("Settings");
    path = settings.AsUTF8String();
    return true;
}

std::string GetOrvexPDFSettingsKey()
{
    return "PDFSettings";
}

std::string GetOrvexPDFSettingsPathKey()
{
    return "PDFSettingsPath";
}

bool IsString(const PropertyValuePtr& value, const std::string& text)
{
    return value && value->GetType() == PropertyValue::kString && value->StringValue() == text;
}

// The language's array of the settings dictionary, for changing. answer: whether the file's
// layout allows the change; the array stays null when the dictionary or language is missing
// and create is false.
bool FindLanguageArray(const PropertyValuePtr& root, const std::string& language, bool create,
                       PropertyValuePtr& array)
{
    PropertyValue::Dictionary& rootItems = root->DictionaryItems();
    PropertyValue::Dictionary::iterator settings = rootItems.find(GetOrvexPDFSettingsKey());
    if (settings == rootItems.end() || !settings->second) {
        if (!create)
            return true;
        root->Set(GetOrvexPDFSettingsKey(), PropertyValue::MakeDictionary());
        settings = rootItems.find(GetOrvexPDFSettingsKey());
    }
    if (!settings->second->IsDictionary())
        return false;
    PropertyValue::Dictionary& languages = settings->second->DictionaryItems();
    PropertyValue::Dictionary::iterator entry = languages.find(language);
    if (entry == languages.end() || !entry->second) {
        if (!create)
            return true;
        settings->second->Set(language, PropertyValue::MakeArray());
        entry = languages.find(language);
    }
    if (entry->second->GetType() != PropertyValue::kArray)
        return false;
    array = entry->second;
    return true;
}

bool WriteSettings(const FileSystemPath& path, const PropertyValuePtr& root)
{
    try {
        return MacUtils::WritePropertyListFile(path, root);
    } catch (const std::runtime_error&) {
        return false;
    }
}

}  // namespace

namespace PDFSettingUtils {

bool GetPDFSetting(const std::string& language, const std::string& name, std::string& translation)
{
    FileSystemPath path("/");
    platform::ConstPropertyValuePtr root;
    if (!GetPDFSettingsFilePath(path) || !MacUtils::ReadPropertyListFile(path, root) || !root->IsDictionary())
        return false;
    platform::ConstPropertyValuePtr settings = root->Get(GetOrvexPDFSettingsKey());
    if (!settings || !settings->IsDictionary())
        return false;
    platform::ConstPropertyValuePtr pairs = settings->Get(language);
    if (!pairs || pairs->GetType() != PropertyValue::kArray)
        return false;
    const PropertyValue::Array& items = pairs->ArrayItems();
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
        const PropertyValuePtr& value = items[i + 1];
        if (IsString(items[i], name) && value && value->GetType() == PropertyValue::kString) {
            translation = value->StringValue();
            return true;
        }
    }
    return false;
}

bool SetPDFSetting(const std::string& language, const std::string& name, const std::string& translation)
{
    FileSystemPath path("/");
    if (!GetPDFSettingsFilePath(path))
        return false;
    PropertyValuePtr root;
    if (!MacUtils::ReadPropertyListFile(path, root))
        root = PropertyValue::MakeDictionary();
    else if (!root->IsDictionary())
        return false;  // a file of another layout is not ours to replace

    if (!root->Get(GetOrvexPDFSettingsPathKey())) {
        std::string folder;
        if (!GetPDFSettingsFolderPath(folder))
            return false;
        root->Set(GetOrvexPDFSettingsPathKey(), PropertyValue::MakeString(folder));
    }
    PropertyValuePtr array;
    if (!FindLanguageArray(root, language, true, array))
        return false;

    PropertyValue::Array& items = array->ArrayItems();
    bool placed = false;
    for (std::size_t i = 0; i < items.size(); i += 2) {
        if (!IsString(items[i], name))
            continue;
        if (i + 1 < items.size())
            items[i + 1] = PropertyValue::MakeString(translation);
        else
            items.push_back(PropertyValue::MakeString(translation));
        placed = true;
        break;
    }
    if (!placed) {
        items.push_back(PropertyValue::MakeString(name));
        items.push_back(PropertyValue::MakeString(translation));
    }
    return WriteSettings(path, root);
}

bool RemovePDFSetting(const std::string& language, const std::string& name)
{
    FileSystemPath path("/");
    if (!GetPDFSettingsFilePath(path))
        return false;
    if (!FileSystemUtils::Exists(path))
        return true;
    PropertyValuePtr root;
    if (!MacUtils::ReadPropertyListFile(path, root) || !root->IsDictionary())
        return false;
    PropertyValuePtr array;
    if (!FindLanguageArray(root, language, false, array))
        return false;
    if (!array)
        return true;

    PropertyValue::Array& items = array->ArrayItems();
    const std::size_t count = items.size();
    bool removed = false;
    for (std::size_t i = 0; i < count; i += 2) {
        if (!IsString(items[i], name))
            continue;
        const std::size_t end = i + 1 < count ? i + 2 : i + 1;
        items.erase(items.begin() + static_cast<std::ptrdiff_t>(i), items.begin() + static_cast<std::ptrdiff_t>(end));
        removed = true;
        break;
    }
    return removed ? WriteSettings(path, root) : true;
}

}  // namespace PDFSettingUtils
