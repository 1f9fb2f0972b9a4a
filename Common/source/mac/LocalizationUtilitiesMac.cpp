// The half of LocalizationUtilities that asks the platform for the main bundle's strings.
#include "Common/source/xplat/LocalizationUtilities.h"

#include "platform/Bundle.h"
#include "platform/Localization.h"

namespace LocalizationUtilities {

bool GetUserInterfaceLanguage(std::string& language)
{
    const platform::BundlePtr bundle = platform::Bundle::Main();
    if (!bundle)
        return false;
    language = platform::LocalizedString(*bundle, "ORVEX_LANGUAGE_ISO", "en_US", "Localizable");
    return true;
}

}  // namespace LocalizationUtilities
