// The layout of the translated program: where each H8/300 line lands in its section. A translation
// is longer than its HD64180 line, so a short branch that reached its label on the HD64180 may not
// on the H8/300; and the H8/300 runs instructions and reads words at even addresses only. Both need
// the whole program, so pass 2 keeps its translations and lays them out before writing them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/context.h"
#include "writing/output_line.h"

// One source line's translation, as pass 2 made it.
struct TranslatedLine {
    Translation lines;
    std::string source;             // the source line as read
    std::uint16_t line_number = 0;  // in its own file, for messages
};

// Measures the short branches to labels of the same section. In the GNU syntax a branch out of
// reach is marked for its long form and `.align 1` lines are put after data that leaves an odd
// address before an instruction or a word; otherwise such a branch is reported on the console and
// gets a warning line.
void lay_out(Context& ctx, std::vector<TranslatedLine>& program);
