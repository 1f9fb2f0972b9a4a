// MemoryPropertiesLO: the machine's physical memory for scripts.
#pragma once

#include "platform/script/MivorVariant.h"

class MemoryPropertiesLO {
public:
    // Physical memory in megabytes; the result stays empty when the system does not say.
    // Always 0 (no error).
    static int ImplGetTotalSystemRAM(Mivor::Variant& result);
};
