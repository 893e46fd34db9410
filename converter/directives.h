// Directive translation: every assembler directive and every call of a macro defined in the source
// becomes its H8/300 assembler line(s); the data-name table fills here as pass 2 runs.
#pragma once

#include <string>
#include <string_view>

#include "context.h"

// The one H8/300 line a directive becomes. The writer reads it through a TemplateStep whose texts
// point into these strings.
struct DirectiveLine {
    std::string label;
    std::string mnemonic;
    std::string operand1;
};

// Translates and writes one directive or macro-call line (the source line is ctx.line_buffer).
void translate_directive(Context& ctx, LineRecord& record);

// DB-like (byte) and DW-like (word) lists: one output line per item of
// `items`; an item that neither evaluates nor translates becomes an error line of its own.
void translate_data_list(Context& ctx, LineRecord& record, std::string_view items, Width width);

// PUBLIC, EXTRN, MACRO and macro calls: fills `line` with the label, the mnemonic and the
// translated name list; stores external names and macro parameters. The caller writes the line.
void translate_name_list(Context& ctx, LineRecord& record, DirectiveLine& line);
