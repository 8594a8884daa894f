#include "command_line/switches.h"

#include <cstring>

#include "base/decimal.h"
#include "base/setup_format.h"

namespace {
// Whether the token's text after its '/' begins with `word` (lower-case
// letters) in any case.
bool beginsWithWord(const char* token, const char* word) {
    for (++token; *word; ++token, ++word)
        if ((*token | 0x20) != *word)
            return false;
    return true;
}

// The switches that take a path: the rest of their token.
const char* const pathSwitches[] = {"log", "extract"};

// The path of a /log or /extract token from what follows the word; false
// when that is neither the end nor a blank, '=' or ':' and so no such token.
bool readPath(const char* rest, Text& path) {
    if (*rest && *rest != ' ' && *rest != '=' && *rest != ':')
        return false;
    const char* begin = *rest ? rest + 1 : rest;
    while (*begin == ' ')
        ++begin;
    const char* end = begin + std::strlen(begin);
    if (*begin == '"' && ++begin < end && end[-1] == '"')
        --end;
    path.assign(begin, static_cast<size_t>(end - begin));
    return true;
}

// The length of the path switch's word that the token starting at `slash`
// begins with, followed by the end, a blank, '=' or ':'; 0 for any other.
size_t pathSwitchWord(const char* slash) {
    for (const char* word : pathSwitches) {
        size_t length = std::strlen(word);
        const char* rest = slash + 1 + length;
        if (beginsWithWord(slash, word) && (!*rest || *rest == ' ' || *rest == '=' || *rest == ':'))
            return length;
    }
    return 0;
}

// Where a token that starts at `slash` ends. A path switch's path may hold
// '/' (Windows takes either separator), so it runs on to the first '/' that
// follows a blank outside quotes, or to the end: a piece of the path is
// never read as a switch of its own. Any other token ends at the next '/'.
const char* tokenEnd(const char* slash) {
    size_t word = pathSwitchWord(slash);
    if (word == 0)
        return std::strchr(slash + 1, '/');
    const char* rest = slash + 1 + word;
    bool quoted = false;
    for (const char* p = rest; *p; ++p) {
        if (*p == '"')
            quoted = !quoted;
        else if (*p == '/' && !quoted && (p[-1] == ' ' || p[-1] == '\t'))
            return p;
    }
    return nullptr;
}
} // namespace

SetupSwitches readSwitches(const char* commandLine) {
    SetupSwitches found;
    const char* next = nullptr;
    for (const char* slash = commandLine ? std::strchr(commandLine, '/') : nullptr; slash;
         slash = next) {
        next = tokenEnd(slash);
        size_t length = next ? static_cast<size_t>(next - slash) : std::strlen(slash);
        while (length > 0 && slash[length - 1] == ' ')
            --length;
        const Text token(slash, length);
        const char* text = token.c_str();
        if (token.size() < 2)
            continue;
        // The words before the letters: /log is no /L.
        if (beginsWithWord(text, "log") && readPath(text + 4, found.logPath)) {
            found.logGiven = true;
            found.logSwitch = token;
            continue;
        }
        if (beginsWithWord(text, "extract") && readPath(text + 8, found.extractFolder)) {
            found.extractGiven = true;
            found.extractSwitch = token;
            continue;
        }
        if (beginsWithWord(text, "help") && !text[5]) {
            found.help = true;
            continue;
        }
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
        case 'P':
        case 'p':
            found.progressOnly = true;
            break;
        case 'W':
        case 'w':
            found.wait = true;
            break;
        case '?':
            found.help = true;
            break;
        default:
            break;
        }
    }
    return found;
}
