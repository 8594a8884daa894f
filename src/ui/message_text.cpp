#include "ui/message_text.h"

Text formatWithProductName(const char* format, const Text& productName) {
    Text text;
    for (const char* c = format; *c; ++c) {
        if (c[0] == '%' && c[1] == 's') {
            text.append(productName);
            ++c;
        } else if (c[0] == '%' && c[1] == '%') {
            text.append('%');
            ++c;
        } else {
            text.append(*c);
        }
    }
    return text;
}
