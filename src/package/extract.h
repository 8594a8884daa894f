#pragma once

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
