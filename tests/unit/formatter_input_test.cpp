#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "formatter.h"

namespace {

struct ReadLine {
    std::string text;
    int column;
};

// Reads `bytes` line by line to the end with the formatter's column limit.
std::vector<ReadLine> read_all(const std::string& bytes) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::rewind(file);
    TextInput input{file};
    std::vector<ReadLine> lines;
    std::string line;
    for (int column; (column = read_text_line(input, line, line_column_limit)) != -1;) {
        lines.push_back({line, column});
        if (lines.size() > 100) break;  // a reader that never ends fails here instead of hanging
    }
    std::fclose(file);
    return lines;
}

std::vector<std::string> texts(const std::vector<ReadLine>& lines) {
    std::vector<std::string> result;
    for (const auto& l : lines) result.push_back(l.text);
    return result;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(FormatterReadTextLine, LineEndsAndFileEnd) {
    EXPECT_EQ(texts(read_all("")), Texts{});
    EXPECT_EQ(texts(read_all("\n")), Texts{""});
    EXPECT_EQ(texts(read_all("abc\n\ndef\n")), (Texts{"abc", "", "def"}));
    EXPECT_EQ(texts(read_all("abc\ndef")), (Texts{"abc", "def"}));
    EXPECT_EQ(texts(read_all("ab\r\ncd\r\n")), (Texts{"ab", "cd"}));
    EXPECT_EQ(texts(read_all("a\rb\r\r\n")), (Texts{"a\rb\r"}));
    EXPECT_EQ(texts(read_all("last\r")), (Texts{"last\r"}));
}

TEST(FormatterReadTextLine, CtrlZEndsTheFile) {
    EXPECT_EQ(texts(read_all("ab\x1A"
                             "cd\nef\n")),
              (Texts{"ab"}));
    EXPECT_EQ(texts(read_all("ab\r\n\x1A\r\nmore\r\n")), (Texts{"ab"}));
    EXPECT_EQ(texts(read_all("ab\r\x1Amore\n")), (Texts{"ab\r"}));
    EXPECT_EQ(texts(read_all("\x1A")), Texts{});
}

// The file is read in blocks: a CR-LF split between two of them is still one line end. The four
// shifts put the CR at every place modulo 4, so one of them lands it on the last byte of a block.
TEST(FormatterReadTextLine, CrLfSplitBetweenBlocks) {
    for (int shift = 0; shift < 4; ++shift) {
        std::string bytes(static_cast<std::size_t>(shift), 'x');
        for (int i = 0; i < 10000; ++i) bytes += "ab\r\n";
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::rewind(file);
        TextInput input{file};
        std::string line;
        int count = 0;
        bool all_ab = true;
        while (read_text_line(input, line, line_column_limit) != -1 && count <= 10000) {
            all_ab &= line == (count == 0 ? std::string(static_cast<std::size_t>(shift), 'x') + "ab" : "ab");
            ++count;
        }
        std::fclose(file);
        EXPECT_EQ(count, 10000) << shift;
        EXPECT_TRUE(all_ab) << shift;
    }
}

TEST(FormatterReadTextLine, NulAndHighBytesAreText) {
    EXPECT_EQ(texts(read_all(std::string("a\0b\n\xFF\xC4\n", 7))), (Texts{std::string("a\0b", 3), "\xFF\xC4"}));
}

// The column is returned, a tab counting to the next multiple of 8; a line is cut once it has
// reached column 255 and the rest up to its newline is skipped.
TEST(FormatterReadTextLine, CutAtColumn255) {
    struct Case {
        std::string line;
        std::string kept;
        int column;
    };
    const std::vector<Case> cases = {
        {"abc", "abc", 3},
        {"\tx", "\tx", 9},
        {std::string(255, 'x'), std::string(255, 'x'), 255},
        {std::string(300, 'x'), std::string(255, 'x'), 255},
        {std::string(254, 'x') + "\tyz", std::string(254, 'x') + "\t", 256},
        {std::string(250, 'x') + "\tyz", std::string(250, 'x') + "\t", 256},
        {std::string(40, '\t'), std::string(32, '\t'), 256},
        {std::string(100000, ';'), std::string(255, ';'), 255},
    };
    for (const auto& c : cases) {
        auto lines = read_all(c.line + "\nnext\n");
        ASSERT_EQ(lines.size(), 2u) << c.line.size();
        EXPECT_EQ(lines[0].text, c.kept) << c.line.size();
        EXPECT_EQ(lines[0].column, c.column) << c.line.size();
        EXPECT_EQ(lines[1].text, "next");
    }
}

// The reader that skips counting columns where a line cannot reach the limit cuts every line as
// the counting one does: lines just below and above column 255 through tabs, CRs inside a line
// (the count they need is taken late) and lines that cross a block.
TEST(FormatterReadCutLine, CutsAsTheCountingReader) {
    std::string bytes;
    for (std::size_t length = 20; length < 300; length += 7) {
        for (std::size_t tabs : {0, 3, 20, 40}) {
            std::string line;
            for (std::size_t i = 0; i < length; ++i) line += i % 9 == 4 && tabs > i / 9 ? '\t' : 'x';
            bytes += line + "\n" + line.substr(0, length / 2) + "\r" + line.substr(length / 2) + "\r\n";
        }
    }
    // "x\t" takes 8 columns but counts 9 in the bound: the CRs after it reach the bound's limit
    // first, and the line keeps them all (column 240).
    std::string crs;
    for (int i = 0; i < 20; ++i) crs += "x\t";
    bytes += crs + std::string(80, '\r') + "y\n";
    auto read = [&](bool counting) {
        std::FILE* file = std::tmpfile();
        EXPECT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::rewind(file);
        TextInput input{file};
        Texts lines;
        std::string line;
        while (counting ? read_text_line(input, line, line_column_limit) != -1
                        : read_cut_line(input, line, line_column_limit)) {
            lines.push_back(line);
        }
        std::fclose(file);
        return lines;
    };
    const Texts counted = read(true);
    EXPECT_GT(bytes.size(), 3 * sizeof(TextInput::block));
    EXPECT_EQ(counted.size(), 2 * 40 * 4u + 1);
    EXPECT_EQ(counted.back().size(), 20 * 2 + 80 + 1u);
    EXPECT_EQ(read(false), counted);
}

TEST(FormatterCompareNocase, DifferenceOfLastComparedPair) {
    struct Case {
        const char* a;
        const char* b;
        std::size_t n;
        int expected;
    };
    const std::vector<Case> cases = {
        {"abc", "ABC", 3, 0},
        {"abc", "abd", 3, 'C' - 'D'},
        {"abd", "abc", 3, 'D' - 'C'},
        {"abc", "abd", 2, 0},
        {"ab", "ab", 8, 0},  // stops at the end of `a`
        {"ab", "abc", 8, -'C'},
        {"abc", "ab", 8, 'C'},
        {"x", "y", 0, 0},
        {"\xE9t\xE9", "\xE9T\xE9", 3, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(compare_nocase(c.a, c.b, c.n), c.expected) << c.a << " / " << c.b << " / " << c.n;
    }
}

TEST(FormatterNames, BuiltFromArguments) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string output;
    };
    const std::vector<Case> cases = {
        {{"HPROG"}, "HPROG.SRC", "HPROG.ASM"},
        {{"hprog.src"}, "hprog.src", "hprog.ASM"},
        {{"HPROG.X.SRC"}, "HPROG.X.SRC", "HPROG.ASM"},
        {{"HPROG", "TIDY"}, "HPROG.SRC", "TIDY.ASM"},
        {{"HPROG", "TIDY.TXT", "ignored"}, "HPROG.SRC", "TIDY.TXT"},
        // A directory part never lends the name an extension, whichever separator it uses.
        {{"..\\PROG.SRC"}, "..\\PROG.SRC", "..\\PROG.ASM"},
        {{"../dir/prog"}, "../dir/prog.SRC", "../dir/prog.ASM"},
        {{"./HPROG"}, "./HPROG.SRC", "./HPROG.ASM"},
        {{"./HPROG.SRC"}, "./HPROG.SRC", "./HPROG.ASM"},
        {{std::string(300, 'N')}, std::string(300, 'N') + ".SRC", std::string(300, 'N') + ".ASM"},
    };
    for (const auto& c : cases) {
        NeatenNames names = build_names(c.args);
        EXPECT_EQ(names.input, c.input);
        EXPECT_EQ(names.output, c.output);
    }
}

TEST(FormatterNames, SameFileNameCheck) {
    struct Case {
        const char* input;
        const char* output;
        bool same;
    };
    const std::vector<Case> cases = {
        {"PROG.ASM", "PROG.ASM", true},  {"prog.asm", "PROG.ASM", true},   {"PROGRAM_A.SRC", "PROGRAM_B.SRX", true},
        {"PROG.SRC", "PROG.ASM", false}, {"PROG.SRC", "PROG2.SRC", false}, {"PROGRAM_A.SRC", "PROGRAM_B.ASM", false},
        {"A.SR", "A.SRC", false},        {"..\\PROG.SRC", ".ASM", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(same_file_name(c.input, c.output), c.same) << c.input << " / " << c.output;
    }
}
