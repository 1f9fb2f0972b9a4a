// The scripting core, Mivor: strings, values, live objects and start-up. Scripts themselves run in
// the script engine library, Pelvo (platform/script/Pelvo.h).
#pragma once

#include "platform/script/MivorLive.h"
#include "platform/script/MivorString.h"
#include "platform/script/MivorVariant.h"
