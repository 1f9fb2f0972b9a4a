// CPUPropertiesLO: the processor features that scripts may ask about.
#pragma once

#include "platform/script/MivorVariant.h"

class CPUPropertiesLO {
public:
    // Each stores a boolean and answers 0 (no error).
    static int ImplIsMMXSupported(Mivor::Variant& result);
    static int ImplIsPAESupported(Mivor::Variant& result);
    static int ImplIsSSESupported(Mivor::Variant& result);
    static int ImplIsSSE2Supported(Mivor::Variant& result);
    static int ImplIsNXSupported(Mivor::Variant& result);
    static int ImplIs3DNowSupported(Mivor::Variant& result);
    static int ImplIsAltiVecSupported(Mivor::Variant& result);
};
