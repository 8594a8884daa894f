#pragma once

#include "base/list.h"
#include "base/text.h"

// The name of the transform resource of a language and the file name the
// setup writes it under, as setup_format.h gives them ("LANG1036",
// "1036.MST").
Text transformResourceName(int lcid);
Text transformFileName(int lcid);

// Writes resource `resourceName` as a new file into this run's own folder
// inside the user's temporary folder (made on the first write, with a random
// name and an access list for the user, SYSTEM and the Administrators only)
// under the bare name held in `fileName`, which then holds the full path.
// The whole path must fit in MAX_PATH. On failure `fileName` is unchanged
// and no file is left. Shows nothing.
bool writeResourceToTempFolder(const char* resourceName, Text& fileName);

// Writes the package and, where one applies, the transform of the selected
// language, and turns both paths of setupState into full paths. Shows
// nothing: on failure `notCreated` holds the full path of the file or folder
// that could not be created, and stays empty when something else failed (a
// resource missing, a path too long, a write cut short).
bool extractPackageFiles(Text& notCreated);

// Deletes the files that this run wrote, then this run's folder.
void deleteExtractedFiles();

// What writing the setup's files into a folder of the user's came to.
enum class FolderExtraction {
    done,
    noPackage,     // the setup carries no package
    folderNotMade, // the folder, or one above it, could not be made
    fileExists,    // a file, folder or link of a name to write is there already
    pathTooLong,   // a file's full path would have MAX_PATH characters or more
    writeFailed,   // a file could not be created or written whole
};

// Writes the package under its bare name (setupState.packagePath, from
// PACKAGENAME) and every transform the setup carries under its file name
// ("1036.MST") into `folder` (relative to the current directory), making
// the folder and those above it where missing. Every file is created new, so
// a file or link of the same name is never written through nor replaced,
// and in bounded pieces. On success `written` holds the full paths in that
// order. On failure `failedPath` names the path at fault and nothing is
// left: the files written so far are deleted and the folders made removed.
// Shows nothing.
FolderExtraction extractToFolder(const Text& folder, List<Text>& written, Text& failedPath);
