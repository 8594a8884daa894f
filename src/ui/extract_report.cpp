#include "ui/extract_report.h"

#include "state/setup_state.h"
#include "ui/languages.h"
#include "ui/message_text.h"

namespace {
// Code page 1252 bytes, as the dialog's texts; Dutch and Portuguese read
// English, as their dialog does.
const char englishDone[] = "The setup wrote these files into %s:";
const char* const doneTable[languageCount] = {
    englishDone,
    "Le programme d'installation a \xE9"
    "crit ces fichiers dans %s :",
    "Das Setup hat diese Dateien in %s geschrieben:",
    "El programa de instalaci\xF3n escribi\xF3 estos archivos en %s:",
    "Il programma di installazione ha scritto questi file in %s:",
    englishDone,
    englishDone,
};

// The text after the last backslash.
Text bareName(const Text& path) {
    size_t start = path.size();
    while (start > 0 && path[start - 1] != '\\')
        --start;
    return Text(path.c_str() + start, path.size() - start);
}
} // namespace

Text extractionReport(FolderExtraction result, const List<Text>& written, const Text& failedPath) {
    const char* reason = nullptr;
    switch (result) {
    case FolderExtraction::done: {
        Text folder;
        if (!written.empty())
            folder.assign(written[0].c_str(), written[0].size() - bareName(written[0]).size());
        Text text = formatWithProductName(doneTable[setupState.languageIndex], folder);
        text.append("\n");
        for (size_t i = 0; i < written.size(); ++i)
            text.append("\n").append(bareName(written[i]));
        return text;
    }
    case FolderExtraction::noPackage:
        return Text("This setup carries no package to extract.");
    case FolderExtraction::folderNotMade:
        reason = "Could not create the folder:\n\n%s";
        break;
    case FolderExtraction::fileExists:
        reason = "A file of this name is there already:\n\n%s\n\nNothing was extracted.";
        break;
    case FolderExtraction::pathTooLong:
        reason = "This path is too long (260 characters or more):\n\n%s";
        break;
    case FolderExtraction::writeFailed:
        reason = "Could not write the file:\n\n%s";
        break;
    }
    return formatWithProductName(reason, failedPath);
}
