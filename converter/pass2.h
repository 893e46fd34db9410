// Pass 2: reads the records back through the record window beside a second reading of the source,
// hands every line to its writer or translator, then writes the .SYM file.
#pragma once

#include "context.h"

void run_pass2(Context& ctx);

// The record `offset` places from the current one (negative: earlier), or nullptr when that place
// lies before record 1, after the last record, or outside the window.
LineRecord* window_record(Context& ctx, int offset);

// Reads the next line of the file being read into pass2.lookahead_line (pass 2 takes it as its next
// line instead of reading one). False at the end of that file.
bool read_lookahead_line(Context& ctx);

// Writes the .SYM file from the data-name table.
void write_symbolic_file(Context& ctx);
