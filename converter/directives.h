// Directive translation: every assembler directive and every call of a macro defined in the source
// becomes its H8/300 assembler line(s); the data-name table fills here as pass 2 runs.
#pragma once

#include "context.h"

void translate_directive(Context& ctx, LineRecord& record);
