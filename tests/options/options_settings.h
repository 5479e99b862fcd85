#pragma once
// Every setting the ini file carries, as "name=value" lines, for comparing two options objects
// (tests and the fuzz target).  Paths are shown as the host holds them; lastValue, the file
// name and the command line are not settings.

#include <string>

class KOptions;

std::string optionsSettingsText(const KOptions& options);
