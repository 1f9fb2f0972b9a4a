// DisplayPropertiesLO: the main display's size for scripts.
#pragma once

#include "platform/script/MivorVariant.h"

class DisplayPropertiesLO {
public:
    // Width and height in pixels (0 when no display answers); always 0 (no error).
    static int ImplGetWidth(Mivor::Variant& result);
    static int ImplGetHeight(Mivor::Variant& result);
};
