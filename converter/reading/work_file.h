// The work file $TRSH8.$$$ in the current directory: pass 1 writes one record per source line,
// pass 2 reads them back. A run holds an advisory lock on it from pass 1 to the end of pass 2 so
// that two runs in one directory cannot corrupt each other's records.
#pragma once

#include <cstdio>

#include "driver/context.h"

// Takes the lock; prints "\t$TRSH8.$$$ Cannot Open" and ends the run when another run holds it.
void lock_work_file(Context& ctx);
// Removes the work file and lets the lock go.
void remove_work_file(Context& ctx);

// Writes one record; a short write is fatal ("\t$TRSH8.$$$ Write Error").
void write_work_record(Context& ctx, std::FILE* work, const LineRecord& record);
// Reads up to `count` records into consecutive slots; returns how many arrived.
std::size_t read_work_records(std::FILE* work, LineRecord* slots, std::size_t count);
