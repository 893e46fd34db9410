// The work file: pass 1 writes one record per source line, pass 2 reads them back. Each run has a
// file of its own, "$TRSH8." and six random characters, created exclusively in the output's
// directory (or in the system's temporary directory when that fails) and removed from the directory
// at once: the open file lives until the run ends, however it ends, and runs side by side in one
// directory never meet.
#pragma once

#include <cstdio>

#include "driver/context.h"

// Creates the work file into ctx.work_file; "\t%s Cannot Open" ends the run when it cannot.
void create_work_file(Context& ctx);

// Writes one record; a short write is fatal ("\t%s Write Error" with the work file's name).
void write_work_record(Context& ctx, std::FILE* work, const LineRecord& record);
// Reads up to `count` records into consecutive slots; returns how many arrived.
std::size_t read_work_records(std::FILE* work, LineRecord* slots, std::size_t count);
