#pragma once

#include "base/text.h"

struct TextSplit {
    Text head;
    Text rest;
};

// Cuts `text` at the first `separator`: the part before it and the part after
// it. Without a separator the whole text is the head and the rest is empty.
TextSplit splitAtFirst(const Text& text, char separator);
