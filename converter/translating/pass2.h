// Pass 2: reads the records back beside a second reading of the source, translates every line and
// hands its translation to the .SRC writer, then writes the .SYM file.
#pragma once

#include "driver/context.h"

void run_pass2(Context& ctx);

// Writes the .SYM file from the data-name table into `file`, finished but not yet in place.
void write_symbolic_file(Context& ctx, ReplacedFile& file);
