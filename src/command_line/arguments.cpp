#include "command_line/arguments.h"

namespace {
bool isSeparator(char c) {
    return c == ' ' || c == '\t';
}

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}

bool isNameCharacter(char c) {
    return isLetter(c) || (c >= '0' && c <= '9') || c == '.';
}

// The length of the property name that the argument begins with, up to its
// '='; 0 when the argument is no property.
size_t propertyNameLength(const Text& argument) {
    if (argument.empty() || !isLetter(argument[0]))
        return 0;
    size_t i = 1;
    while (i < argument.size() && isNameCharacter(argument[i]))
        ++i;
    return i < argument.size() && argument[i] == '=' ? i : 0;
}

bool sameName(const Text& argument, size_t length, const char* name, bool anyCase) {
    size_t i = 0;
    for (; i < length && name[i]; ++i) {
        char c = argument[i];
        if (anyCase && c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != name[i])
            return false;
    }
    return i == length && !name[i];
}

// The installer could take a lower-case name as the property that the
// setup sets, so every spelling is refused.
bool setBySetup(const Text& argument, size_t length) {
    const char* const names[] = {"TRANSFORMS", "SETUPEXEDIR", "REINSTALL", "REINSTALLMODE"};
    for (const char* name : names) {
        if (sameName(argument, length, name, true))
            return true;
    }
    return false;
}

// Reads one argument from `p` on into `argument`; gives where it ends and
// whether its quotes were still open there.
const char* readArgument(const char* p, Text& argument, bool& open) {
    open = false;
    while (*p && (open || !isSeparator(*p))) {
        if (*p == '\\') {
            size_t count = 0;
            while (p[count] == '\\')
                ++count;
            bool beforeQuote = p[count] == '"';
            for (size_t i = 0; i < (beforeQuote ? count / 2 : count); ++i)
                argument.append('\\');
            p += count;
            if (beforeQuote && count % 2) {
                argument.append('"');
                ++p;
            }
        } else if (*p == '"') {
            if (open && p[1] == '"') {
                argument.append('"');
                p += 2;
            } else {
                open = !open;
                ++p;
            }
        } else {
            argument.append(*p++);
        }
    }
    return p;
}

// NAME="value" as msiexec reads it: the value in quotes, so that blanks and
// slashes in it stay part of it, and a quote in it doubled.
void appendProperty(Text& properties, const Text& argument, size_t nameLength) {
    if (!properties.empty())
        properties.append(' ');
    properties.append(argument.c_str(), nameLength + 1).append('"');
    for (size_t i = nameLength + 1; i < argument.size(); ++i) {
        if (argument[i] == '"')
            properties.append('"');
        properties.append(argument[i]);
    }
    properties.append('"');
}
} // namespace

SetupArguments splitArguments(const char* commandLine) {
    SetupArguments result;
    const char* p = commandLine ? commandLine : "";
    bool afterPathSwitch = false;
    while (*p) {
        const char* start = p;
        while (isSeparator(*p))
            ++p;
        result.switches.append(start, static_cast<size_t>(p - start));
        if (!*p)
            break;

        start = p;
        Text argument;
        bool open = false;
        p = readArgument(p, argument, open);
        size_t raw = static_cast<size_t>(p - start);
        // The path after a bare /log or /extract is the switch's, whatever
        // it holds.
        size_t nameLength = afterPathSwitch ? 0 : propertyNameLength(argument);
        afterPathSwitch = sameName(argument, argument.size(), "/LOG", true) ||
                          sameName(argument, argument.size(), "/EXTRACT", true);
        if (!nameLength) {
            result.switches.append(start, raw);
            continue;
        }
        ArgumentRefusal refusal = open ? ArgumentRefusal::unmatchedQuote
                                  : setBySetup(argument, nameLength) ? ArgumentRefusal::setBySetup
                                                                     : ArgumentRefusal::none;
        if (refusal != ArgumentRefusal::none) {
            if (result.refusal == ArgumentRefusal::none) {
                result.refusal = refusal;
                result.refusedArgument.assign(start, raw);
            }
            continue;
        }
        appendProperty(result.properties, argument, nameLength);
        if (sameName(argument, nameLength, "REBOOT", false))
            result.rebootGiven = true;
    }
    return result;
}

Text refusalMessage(const Text& argument, const char* reason) {
    Text text("This command line argument is not accepted:\n\n");
    return text.append(argument).append("\n\n").append(reason);
}

Text refusalMessage(const SetupArguments& arguments) {
    return refusalMessage(arguments.refusedArgument,
                          arguments.refusal == ArgumentRefusal::unmatchedQuote
                              ? "Its value has a quote that is not closed."
                              : "The setup sets this property itself.");
}
