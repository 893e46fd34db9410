// The instruction dispatcher: turns one HD64180 instruction line into its H8/300 lines, merging it
// with the next instruction where a better H8/300 sequence exists and dropping redundant tests.
#pragma once

#include <string_view>

#include "driver/context.h"
#include "translating/record_cursor.h"
#include "translating/templates.h"
#include "writing/output_line.h"

// Translates the instruction line `line` whose record is the cursor's current one, onto the end of
// `out`. With `direct`, the template lines that end most translations go there instead, to be
// written from the steps and ctx.pass2.slots after `out`'s lines.
void translate_instruction(Context& ctx, RecordCursor& cursor, LineRecord& record, std::string_view line,
                           Translation& out, TemplateLines* direct = nullptr);
