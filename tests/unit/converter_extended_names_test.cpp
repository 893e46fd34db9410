// Respelling of the extended mode's names: which characters belong to a name, and what is left
// alone (numbers, strings, comments, the location counter, text operands).
#include <gtest/gtest.h>

#include <string>

#include "reading/extended_names.h"

namespace {

struct RespellCase {
    std::string line;
    std::string expected;
};

TEST(ExtendedNames, RespellsOnlyNames) {
    const RespellCase cases[] = {
        {"E.OK\tEQU\t0\n", "E_DOK\tEQU\t0\n"},
        {"?baud$init:\tLD\t(@ctbl),A\n", "_Qbaud_Sinit:\tLD\t(_Actbl),A\n"},
        {"\tJR\t$+2\n", "\tJR\t$+2\n"},               // $ alone is the location counter
        {".Z80\n", ".Z80\n"},                         // a prefix character before a keyword
        {"\tDB\t1.2,X.\n", "\tDB\t1.2,X.\n"},         // numbers, and a '.' ending the list
        {"\tDB\t'a.b',c.d\n", "\tDB\t'a.b',c_Dd\n"},  // strings are text
        {"\tLD\tA,B ; E.OK\n", "\tLD\tA,B ; E.OK\n"},
        {"\tEX\tAF,AF'\n", "\tEX\tAF,AF'\n"},
        {"\tINCLUDE\tDIR.X/A$B.LIB\n", "\tINCLUDE\tDIR.X/A$B.LIB\n"},
        {"INCLUDE.X:\tNOP\n", "INCLUDE_DX:\tNOP\n"},
        {"\\\tMOV.B\tR0H,@A.B\n", "\\\tMOV.B\tR0H,@A.B\n"},  // a line for the target assembler
        {std::string("A.B\0C.D\n", 8), std::string("A_DB\0C.D\n", 9)},
    };
    for (const RespellCase& c : cases) EXPECT_EQ(respell_names(c.line), c.expected) << c.line;
}

TEST(ExtendedNames, TwoNamesMeetingInOneSpellingAreCaught) {
    NameSpellings spellings;
    std::string clash;
    respell_names("E.OK EQU 1\n", &spellings, &clash);
    EXPECT_EQ(clash, "");
    respell_names("\tLD A,e.ok\n", &spellings, &clash);  // the same name in other letters
    EXPECT_EQ(clash, "");
    respell_names("E_DOK EQU 2\n", &spellings, &clash);
    EXPECT_EQ(clash, "E_DOK");
    // Significant to 16 characters: these differ in their 16th character only once respelled.
    respell_names("ABCDEFGHIJKLMN.P\n", &spellings, &clash);
    EXPECT_EQ(clash, "");
    respell_names("ABCDEFGHIJKLMN_DQ\n", &spellings, &clash);
    EXPECT_EQ(clash, "ABCDEFGHIJKLMN_DQ");
}

}  // namespace
