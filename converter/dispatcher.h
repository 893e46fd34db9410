// The instruction dispatcher: turns one HD64180 instruction line into its H8/300 lines, merging it
// with the next instruction where a better H8/300 sequence exists and dropping redundant tests.
#pragma once

#include "context.h"

void translate_instruction(Context& ctx, LineRecord& record);
