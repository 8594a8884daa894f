#include "command_line/switches.h"

#include <cstring>

#include "base/decimal.h"
#include "base/setup_format.h"

void splitSwitches(const char* commandLine, List<Text>& tokens) {
    const char* slash = commandLine ? std::strchr(commandLine, '/') : nullptr;
    while (slash) {
        const char* next = std::strchr(slash + 1, '/');
        size_t length = next ? static_cast<size_t>(next - slash) : std::strlen(slash);
        while (length > 0 && slash[length - 1] == ' ')
            --length;
        tokens.add(Text(slash, length));
        slash = next;
    }
}

SetupSwitches readSwitches(const char* commandLine) {
    SetupSwitches found;
    List<Text> tokens;
    splitSwitches(commandLine, tokens);
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Text& token = tokens[i];
        if (token.size() < 2)
            continue;
        switch (token[1]) {
        case 'L':
        case 'l': {
            int32_t lcid = readDecimal(token.c_str() + 2, token.size() - 2);
            if (setup_format::isKnownLanguage(lcid))
                found.language = lcid;
            break;
        }
        case 'S':
        case 's':
            found.silent = true;
            break;
        case 'W':
        case 'w':
            found.wait = true;
            break;
        default:
            break;
        }
    }
    return found;
}
