#pragma once

#include "base/list.h"
#include "base/text.h"
#include "package/extract.h"

// The box text after /extract: on success, in the setup's language, the
// folder and the bare names of the files written into it, one a line; on a
// failure the reason with the path at fault (`failedPath`), in English as
// the setup's other refusals are.
Text extractionReport(FolderExtraction result, const List<Text>& written, const Text& failedPath);
