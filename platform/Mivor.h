// The scripting core, Mivor: strings, values, live objects and start-up. Scripts themselves run in
// the script engine library, Pelvo (platform/Pelvo.h).
#pragma once

#include "platform/MivorLive.h"
#include "platform/MivorString.h"
#include "platform/MivorVariant.h"
