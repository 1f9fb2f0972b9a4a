#include "Base64.h"

namespace ZEB {

namespace detail {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

}  // namespace detail

}  // namespace ZEB
