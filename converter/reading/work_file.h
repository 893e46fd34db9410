// The work file: pass 1 writes one record per source line, pass 2 reads them back. Each run has a
// file of its own, "$TRSH8." and six random characters, created exclusively in the output's
// directory (or in the system's temporary directory when that fails) and removed from the directory
// at once: the open file lives until the run ends, however it ends, and runs side by side in one
// directory never meet.
#pragma once

#include <cstdio>
#include <cstring>
#include <vector>

#include "driver/context.h"

// Creates the work file into ctx.work_file; "\t%s Cannot Open" ends the run when it cannot.
void create_work_file(Context& ctx);

// The work file is read and written in blocks of this many records (just under 64 KB), each with
// one call; its FILE has no buffer of its own.
inline constexpr std::size_t work_block_records = 2730;

// Records on their way to the work file, gathered into a block that is written whole: one write
// per block instead of one per line.
struct WorkWriter {
    std::FILE* file = nullptr;
    std::vector<unsigned char> block = std::vector<unsigned char>(work_block_records * record_size);
    std::size_t used = 0;  // bytes of the block taken
};

// Writes out what the block holds; a short write is fatal ("\t%s Write Error" with the work file's
// name).
void write_work_block(Context& ctx, WorkWriter& writer);

// Adds one record, writing the block out first when it is full. Inline: every line makes one.
inline void write_work_record(Context& ctx, WorkWriter& writer, const LineRecord& record) {
    if (writer.used == writer.block.size()) write_work_block(ctx, writer);
    const RecordBytes bytes = encode_record(record);
    std::memcpy(writer.block.data() + writer.used, bytes.data(), record_size);
    writer.used += record_size;
}
// Writes out what the block holds and flushes the file; a short write or a failed flush is fatal.
void finish_work_file(Context& ctx, WorkWriter& writer);
