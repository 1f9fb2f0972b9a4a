#include "CPUPropertiesLO.h"

#include "platform/HostInfo.h"

namespace {

// The answer of one feature as the processor reports it; false when it cannot be asked.
int Answer(Mivor::Variant& result, bool platform::ProcessorFeatures::*feature)
{
    result.setBool(false);
    platform::ProcessorFeatures features;
    if (platform::ReadProcessorFeatures(features) && features.*feature)
        result.setBool(true);
    return 0;
}

}  // namespace

int CPUPropertiesLO::ImplIsMMXSupported(Mivor::Variant& result)
{
    return Answer(result, &platform::ProcessorFeatures::mmx);
}

int CPUPropertiesLO::ImplIsPAESupported(Mivor::Variant& result)
{
    return Answer(result, &platform::ProcessorFeatures::pae);
}

int CPUPropertiesLO::ImplIsSSESupported(Mivor::Variant& result)
{
    return Answer(result, &platform::ProcessorFeatures::sse);
}

int CPUPropertiesLO::ImplIsSSE2Supported(Mivor::Variant& result)
{
    return Answer(result, &platform::ProcessorFeatures::sse2);
}

int CPUPropertiesLO::ImplIsNXSupported(Mivor::Variant& result)
{
    return Answer(result, &platform::ProcessorFeatures::nx);
}

int CPUPropertiesLO::ImplIs3DNowSupported(Mivor::Variant& result)
{
    return Answer(result, &platform::ProcessorFeatures::amd3DNow);
}

int CPUPropertiesLO::ImplIsAltiVecSupported(Mivor::Variant& result)
{
    return Answer(result, &platform::ProcessorFeatures::altiVec);
}
