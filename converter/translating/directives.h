// Directive translation: every assembler directive and every call of a macro defined in the source
// becomes its H8/300 assembler line(s); the data-name table fills here as pass 2 runs.
#pragma once

#include <string>
#include <string_view>

#include "driver/context.h"
#include "writing/output_line.h"

// The operand of the line from column col1, letter case as written; empty when the line has none.
// A NUL ends the line as its end does.
std::string_view operand_text(std::string_view line, const LineRecord& record);

// Translates one directive or macro-call line, `line` as the source spells it, onto the end of `out`.
void translate_directive(Context& ctx, LineRecord& record, std::string_view line, Translation& out);

// DB-like (byte) and DW-like (word) lists: one output line per item of `items`; an item that
// neither evaluates nor translates becomes an error line of its own.
void translate_data_list(Context& ctx, LineRecord& record, std::string_view items, Width width, Translation& out);

// PUBLIC, EXTRN, MACRO and macro calls: the label, the mnemonic and the translated name list made
// in `out`, a new line; stores external names and macro parameters.
void translate_name_list(Context& ctx, LineRecord& record, std::string_view line, OutputLine& out);
