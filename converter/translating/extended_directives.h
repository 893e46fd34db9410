// The directives of the extended mode (the CP/M-era relocating assemblers): DC, conditional
// assembly, repeat blocks and the pseudo-ops that have no H8/300 counterpart. Each becomes its
// H8/300 assembler line or an error line with a message; none is dropped without a trace.
#pragma once

#include <string_view>

#include "driver/context.h"
#include "writing/output_line.h"

// Translates `record` into `out` when it is a directive of the extended mode (or an ENDM that
// closes a repeat block); false leaves it to the common directive translation.
bool translate_extended_directive(Context& ctx, LineRecord& record, std::string_view line, Translation& out);
