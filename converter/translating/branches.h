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
// form of `next` may change. A branch gets its rendered target in `target`, and a Z-flag warning
// line in `out`. True when the line's translation is complete in `out`: merged away into the next
// JR, or reported as an illegal branch operand.
bool track_branches_and_flags(Context& ctx, RecordCursor& cursor, LineRecord& record, std::string_view line,
                              const LineRecord& previous, LineRecord& next, std::string& target, Translation& out);
