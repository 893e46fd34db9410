// Branch translation and Z-flag tracking: renders branch targets, rewrites PO/PE after block
// instructions, merges JR Z with a following JR C/NC into one unsigned branch, and warns when a Z or
// NZ branch may see a Z flag that differs from the HD64180's.
#pragma once

#include <string>
#include <string_view>

#include "driver/context.h"
#include "translating/record_cursor.h"
#include "writing/output_line.h"

// Called for every instruction line after its operands are rendered. `previous` and `next` are the
// neighbouring instruction records (comment records skipped; all-zero where there is none); the
// form of `next` may change, and so may the record's own (DAA after a subtraction). A branch gets its
// rendered target in slots.target; warning lines (Z flag, C flag, DAA) go to `out`. True when the
// line's translation is complete in `out`: merged away into the next JR, or reported as an illegal
// branch operand.
bool track_branches_and_flags(Context& ctx, RecordCursor& cursor, LineRecord& record, std::string_view line,
                              const LineRecord& previous, LineRecord& next, OperandSlots& slots, Translation& out);

// Whether the carry an instruction leaves may be read: walks the instruction records from `offset`
// places after the current one until one reads the carry (true) or sets it (false); a label, a
// branch or the end of the window counts as a read.
bool carry_read_later(RecordCursor& cursor, int offset);
