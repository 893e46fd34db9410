// The console's reading of line messages: errors counted for --fail-on-error in either form, and
// the GNU form (FILE:LINE: error: TEXT) for editors, also for a message written in pieces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "driver/console.h"

namespace {

struct ConsoleCase {
    bool gnu;
    std::vector<std::string> writes;
    std::string expected;  // after a final flush
    int errors;
};

TEST(Console, LineMessagesCountedAndWrittenForEditors) {
    const std::vector<ConsoleCase> cases = {
        {false,
         {"(3) ERROR: illegal operand\n", "(4) WARNING: Z flag unknown\n"},
         "(3) ERROR: illegal operand\n(4) WARNING: Z flag unknown\n",
         1},
        {false,
         {"(5) WARNING: label length 16 over 'A'+'", "B", "'\n(6) ERR", "OR: x\n"},
         "(5) WARNING: label length 16 over 'A'+'B'\n(6) ERROR: x\n",
         1},
        {true,
         {"(5) WARNING: label length 16 over 'A'+'", "B", "'\n"},
         "P.ASM:5: warning: label length 16 over 'A'+'B'\n",
         0},
        {true,
         {"--- (3) INCLUDE \"X\" ---\n(7) ERROR: a\n(8) ERROR: cut short"},
         "--- (3) INCLUDE \"X\" ---\nP.ASM:7: error: a\n(8) ERROR: cut short",
         1},
        {true,
         {"(12)ERROR: a\n() ERROR: b\n x(1) ERROR: c\n(1) ERRORS: d\n\tP.ASM Cannot Open\n"},
         "(12)ERROR: a\n() ERROR: b\n x(1) ERROR: c\n(1) ERRORS: d\n\tP.ASM Cannot Open\n",
         0},
    };
    for (const ConsoleCase& c : cases) {
        Console console;
        console.capture = true;
        console.gnu_line_messages = c.gnu;
        console.source_name = "P.ASM";
        for (const std::string& text : c.writes) console.write(text);
        console.flush();
        EXPECT_EQ(console.captured, c.expected);
        EXPECT_EQ(console.error_messages, c.errors) << c.expected;
    }
}

}  // namespace
