// Branch translation and Z-flag tracking: renders branch targets, rewrites PO/PE after block
// instructions, merges JR Z with a following JR C/NC into one unsigned branch, and warns when a Z or
// NZ branch may see a Z flag that differs from the HD64180's.
#pragma once

#include "context.h"

// Called for every instruction line after its operands are rendered. `previous` and `next` are the
// neighbouring instruction records (comment records skipped; all-zero where there is none); the
// form of `next` may change. True when the line has been written here: merged away into the next
// JR, or reported as an illegal branch operand.
bool track_branches_and_flags(Context& ctx, LineRecord& record, const LineRecord& previous, LineRecord& next);
