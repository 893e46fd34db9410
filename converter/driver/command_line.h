// The srcport command line: options /D /M /H (also -D -M -H), --diagnostics=gnu, --fail-on-error,
// the source and optional output argument, and the file names derived from them.
#pragma once

#include <string>
#include <vector>

#include "driver/context.h"

enum class CommandLineResult { run, usage_error, help, version };

// Reads the arguments (without the program name) into `settings` and derives the file names.
CommandLineResult read_command_line(const std::vector<std::string>& args, Settings& settings);

// Where the extension of a file name begins (its first '.' in the base name, the ./ and ../ rules
// applied), or npos when it has none.
std::size_t extension_pos(const std::string& name);
