// The line scanner: decides what an upper-cased source line is (pass-through, label, instruction,
// directive, macro call, ignored keyword, comment or error) and fills code, label, col1 and, for a
// macro call, form of its record. Macro names are defined here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "context.h"

// Letters, digits, '_' and the apostrophe.
bool is_name_char(char ch);

// Copies the name characters at the start of `src` into `dst`, at most `max` of them; returns how
// many were copied.
std::size_t name_scan(std::string& dst, std::string_view src, std::size_t max);

// Scans ctx.line_buffer (already upper case) into `record`; returns the record's code.
std::uint16_t scan_line(Context& ctx, LineRecord& record);
