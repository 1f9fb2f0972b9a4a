#include "CPUPropertiesLO.h"

#include "platform/Folders.h"
#include "platform/Gestalt.h"

namespace {

// Bit 4 of the PowerPC features: vector instructions.
const std::int32_t kPPCFeatureAltiVec = 1 << 4;

int AnswerIntel(Mivor::Variant& result)
{
    result.setBool(false);
    std::int32_t architecture = 0;
    if (platform::Gestalt(platform::FourCharCode('s', 'y', 's', 'a'), architecture) == 0 &&
        architecture == platform::kGestaltIntel)
        result.setBool(true);
    return 0;
}

}  // namespace

int CPUPropertiesLO::ImplIsMMXSupported(Mivor::Variant& result)
{
    return AnswerIntel(result);
}

int CPUPropertiesLO::ImplIsPAESupported(Mivor::Variant& result)
{
    return AnswerIntel(result);
}

int CPUPropertiesLO::ImplIsSSESupported(Mivor::Variant& result)
{
    return AnswerIntel(result);
}

int CPUPropertiesLO::ImplIsSSE2Supported(Mivor::Variant& result)
{
    return AnswerIntel(result);
}

int CPUPropertiesLO::ImplIsNXSupported(Mivor::Variant& result)
{
    result.setBool(false);
    return 0;
}

int CPUPropertiesLO::ImplIs3DNowSupported(Mivor::Variant& result)
{
    result.setBool(false);
    return 0;
}

int CPUPropertiesLO::ImplIsAltiVecSupported(Mivor::Variant& result)
{
    result.setBool(false);
    std::int32_t features = 0;
    if (platform::Gestalt(platform::FourCharCode('p', 'p', 'c', 'f'), features) == 0 && (features & kPPCFeatureAltiVec) != 0)
        result.setBool(true);
    return 0;
}
