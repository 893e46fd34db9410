// Pass 1: reads the source and its include files, reduces every line to a LineRecord with the
// scanner and the operand classifier, and writes the records to the work file.
#pragma once

#include "context.h"

void run_pass1(Context& ctx);

// Upper-cases ASCII letters only; other bytes (0x80 and above included) stay as they are.
std::string upper_case_line(std::string_view line);
