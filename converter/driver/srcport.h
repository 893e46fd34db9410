// The srcport run: banner, command line, file names, pass 1, line total, pass 2.
#pragma once

#include <string>
#include <vector>

#include "driver/context.h"

// Runs one conversion with the given arguments (program name excluded); returns the exit status:
// 0 complete, 1 usage text or fatal error, 2 complete but with error lines under --fail-on-error.
int run_srcport(Context& ctx, const std::vector<std::string>& args);

inline constexpr const char* banner_line = " HD64180 -> H8/300 Source Convertor Ver. 1.17";
