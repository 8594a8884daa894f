#pragma once
// What each command does; each returns the exit code or throws PackError
// (main prints it).
#include "setup_pack/commands.h"

// command_pack.cpp: the setup, the package of --out-msi, the manifests.
int runCommand(const PackCommand& command);
// command_make_transform.cpp
int runCommand(const MakeTransformCommand& command);
// command_export_texts.cpp
int runCommand(const ExportTextsCommand& command);
// command_inspect.cpp
int runCommand(const InspectCommand& command);
// command_extract.cpp
int runCommand(const ExtractCommand& command);
// command_version.cpp
int runCommand(const VersionCommand& command);
