// Opening the wizard's module from the Setup bundle.
#include "SetupWizardModule.h"

#include "platform/Bundle.h"
#include "platform/LoadableModule.h"

#include <mutex>

namespace {

const char kModuleFileName[] = "SetupWizard.so";
const char kEntryName[] = "TolkSetupWizardModule";

std::mutex gModuleMutex;  // guards gLinkedModule, gOpenedModule
SetupWizardModule* gLinkedModule = nullptr;
SetupWizardModule* gOpenedModule = nullptr;

}  // namespace

SetupWizardModule* SetupWizardModule::Open(std::string& error)
{
    std::lock_guard<std::mutex> lock(gModuleMutex);
    if (gLinkedModule != nullptr)
        return gLinkedModule;
    if (gOpenedModule != nullptr)
        return gOpenedModule;
    platform::BundlePtr bundle = platform::Bundle::Main();
    if (!bundle) {
        error = "Unable to find the Setup bundle, which holds the wizard.";
        return nullptr;
    }
    const std::string path = bundle->PrivateFrameworksPath() + "/" + kModuleFileName;
    std::string reason;
    void* entry = platform::OpenModuleEntry(path, kEntryName, reason);
    if (entry == nullptr) {
        error = "Unable to load the wizard from \"" + path + "\": " + reason;
        return nullptr;
    }
    gOpenedModule = reinterpret_cast<SetupWizardModule* (*)()>(entry)();
    if (gOpenedModule == nullptr)
        error = "The wizard in \"" + path + "\" did not start.";
    return gOpenedModule;
}

void SetupWizardModule::SetLinkedModuleForTesting(SetupWizardModule* module)
{
    std::lock_guard<std::mutex> lock(gModuleMutex);
    gLinkedModule = module;
}
