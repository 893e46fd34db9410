// Reading the source through the include stack, the same way in both passes, so that the Nth line
// read in pass 2 is the line of the Nth record of pass 1.
#pragma once

#include <string>
#include <string_view>

#include "driver/context.h"

// Opens the main source file as level 0; "\t%s Cannot Open" ends the run when it cannot.
void open_main_source(Context& ctx);

// The line after the current file has ended: closes it and reads on in the file that included it.
bool read_source_line_after_file_end(Context& ctx, std::string_view& line);
// Reads the next line as a view, valid until the next line is read from that file or it is closed,
// closing finished include files on the way (each prints its INCLUDE-END message). False when the
// main file has ended.
inline bool read_source_line(Context& ctx, std::string_view& line) {
    return ctx.includes.current().file.read_line(line) || read_source_line_after_file_end(ctx, line);
}
// The same line copied into `line`. Inline as well: every line of pass 2 is read so.
inline bool read_source_line(Context& ctx, std::string& line) {
    std::string_view view;
    const bool read = read_source_line(ctx, view);
    line.clear();  // then appended: cheaper than assign, which must allow for a view into `line` itself
    line.append(view);
    return read;
}

// The include file name written at `col1` of a line: an opening double quote and the blanks after it
// are skipped; the name runs to a double quote, ';', newline or the end.
std::string include_name_at(std::string_view line, std::size_t col1);

// Opens an include file as the next level. `shown_name` goes into the messages; `written_name` is
// the name as the source spells it, which is what is looked for on disk. Ends the run with
// "\t%s Cannot Open" when the nesting is too deep or no file matches.
void open_include(Context& ctx, std::string_view shown_name, std::string_view written_name);

// Closes every open source file.
void close_sources(Context& ctx);
