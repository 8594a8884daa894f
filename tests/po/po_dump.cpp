// po_dump [--write] FILE: the entries of a PO file as read by the po
// library, one "[context|msgid|msgstr]" each (context <none> when there is
// none), the form the oracle test has msgexec print; with --write, the
// file as the library writes it. Exit 2 and "line N: reason" for a file it
// refuses.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "po/po_file.h"

int main(int argc, char** argv) {
    bool write = argc == 3 && std::string(argv[1]) == "--write";
    if (argc != 2 && !write) {
        std::fprintf(stderr, "usage: po_dump [--write] FILE\n");
        return 1;
    }
    std::ifstream file(argv[argc - 1], std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    if (!file) {
        std::fprintf(stderr, "po_dump: cannot read %s\n", argv[argc - 1]);
        return 1;
    }
    try {
        std::vector<po::Entry> entries = po::readPo(text.str());
        if (write) {
            std::cout << po::writePo(entries);
            return 0;
        }
        for (const po::Entry& entry : entries)
            std::cout << '[' << entry.context.value_or("<none>") << '|' << entry.id << '|'
                      << entry.str << "]\n";
    } catch (const po::PoError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 2;
    }
    return 0;
}
