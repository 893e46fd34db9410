// The line scanner: decides what an upper-cased source line is (pass-through, label, instruction,
// directive, macro call, ignored keyword, comment or error) and fills code, label, col1 and, for a
// macro call, form of its record. Macro names are defined here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "driver/context.h"

// Scans `line` (already upper case) into `record`; returns the record's code.
std::uint16_t scan_line(Context& ctx, std::string_view line, LineRecord& record);
