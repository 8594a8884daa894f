#pragma once

#include "base/text.h"

// Puts `productName` in place of the one "%s" of a message text; "%%" gives
// one '%'. The result is never cut, and a '%' in the name stays as it is.
Text formatWithProductName(const char* format, const Text& productName);
