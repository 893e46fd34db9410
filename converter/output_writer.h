// Composes and writes every line of the .SRC file in its fixed columns: H8/300 label, mnemonic and
// operands on the left, and from column 40 a comment field that repeats the HD64180 source line.
#pragma once

#include <span>
#include <string_view>

#include "context.h"
#include "templates.h"

// The display column reached after `text` starting at column 0 (a tab goes to the next multiple of 8).
std::size_t column_after(std::string_view text, std::size_t start = 0);

// Copies the record's label (at most n characters) into pass2.label_text; false when it has none.
bool copy_label(Context& ctx, const LineRecord& record, std::size_t n = 16);

// Starts pass2.out_line with the label field: the label and a tab (shorter than 8) or a blank.
void put_label_field(Context& ctx, std::string_view label);
// Ends pass2.out_line: a newline, or with `with_comment` the comment field for the current line.
void put_comment_field(Context& ctx, bool with_comment);
// Writes pass2.out_line; a failed write ends the run with "\t%s Write Error".
void emit_out_line(Context& ctx);

// The text a step refers to: the content of a slot ("{reg1}", "{imm}", ...) or the text itself.
std::string_view resolve_slot(const OperandSlots& slots, std::string_view text);

// Writes the steps, one line each; only the first line (and only with `with_comment`) gets the
// comment field. A nonempty `first_label` stands in the label field of the first line. Slot names
// are filled in only for template steps (`fill_slots`): a directive's own text is written as it is.
void write_line_list(Context& ctx, std::span<const TemplateStep> steps, bool with_comment,
                     std::string_view first_label = {}, bool fill_slots = true);

// The label-only, comment or error line for the record, chosen by its code.
void write_source_line(Context& ctx, const LineRecord& record, bool with_comment);

// Marks the record in error, prints the undefined-symbol or illegal-operand message and writes the
// error line.
void report_operand_error(Context& ctx, LineRecord& record, const Outcome& outcome);

// Builds pass2.out_line from a line that begins with a backslash.
void put_passthrough_line(Context& ctx);
