// Records, name tables and the DOS-style text reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>

#include "reading/line_record.h"
#include "reading/name_tables.h"
#include "reading/text_input.h"
#include "test_support.h"

namespace {

TEST(LineRecordLayout, TwentyFourLittleEndianBytes) {
    LineRecord record;
    record.code = 0x1A00;
    record.form = Form::pair;
    record.col1 = 5;
    record.col2 = 250;
    record.reg1 = 12;
    record.reg2 = 92;
    record.set_label("ABCDEFGHIJKLMNOPQRS");
    RecordBytes bytes = encode_record(record);
    EXPECT_EQ(bytes[0], 0x00);
    EXPECT_EQ(bytes[1], 0x1A);
    EXPECT_EQ(bytes[2], 31);
    EXPECT_EQ(bytes[4], 250);
    EXPECT_EQ(bytes[7], 'A');
    EXPECT_EQ(bytes[22], 'P');
    EXPECT_EQ(bytes[23], 0);
    EXPECT_EQ(decode_record(bytes.data()), record);
    EXPECT_EQ(record.label_view(), "ABCDEFGHIJKLMNOP");
}

// A label is copied in moves of 8 or 4 bytes and its length read from the padded words: every
// length around those widths, with bytes of every kind, must come back as it was set.
TEST(LineRecordLayout, LabelsOfEveryLength) {
    const std::string name("A\x01\x7F\x80\xFFz_9'BCDEFGHIJ");
    for (std::size_t length = 0; length <= name.size(); ++length) {
        LineRecord record;
        record.set_label("Q_LONGER_NAME_THAN_ANY");  // cleared by the next label
        record.set_label(std::string_view(name).substr(0, length));
        const std::string_view expected = std::string_view(name).substr(0, std::min<std::size_t>(length, 16));
        EXPECT_EQ(record.label_view(), expected) << length;
        EXPECT_EQ(encoded_label(encode_record(record).data()), expected) << length;
        EXPECT_EQ(record.label[16], '\0');
    }
}

// A name's key is read from its two ends in moves of 8 or 4: at every length it must be the key of
// its bytes zero-padded, read from a buffer.
TEST(NameTables, KeyOfANameAtEveryLength) {
    const std::string name("\xFFz_9'ABCDEFGHIJK\x80");
    for (std::size_t length = 0; length <= 16; ++length) {
        std::array<char, padded_name_bytes> buffer{};
        std::copy_n(name.begin(), length, buffer.begin());
        const PaddedName expected = padded_name(buffer.data(), length);
        const PaddedName key = padded_name_of(std::string_view(name).substr(0, length));
        EXPECT_EQ(key.low, expected.low) << length;
        EXPECT_EQ(key.high, expected.high) << length;
    }
}

// Pass 2 reads the work file in large blocks and copies records from them into its window: every
// record must arrive whole and in its place across the blocks and the window's moves, and a file
// that ends too soon is a read error.
TEST(RecordCursorWindow, RecordsAcrossReadBlocks) {
    std::vector<LineRecord> records(6000);
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].code = static_cast<std::uint16_t>(i);
        records[i].col1 = static_cast<std::uint8_t>(i);
        records[i].reg2 = static_cast<std::uint8_t>(i >> 8);
        records[i].set_label("L" + std::to_string(i) + std::string(i % 17, 'X'));
    }
    RecordCursor cursor = cursor_over(records);
    Console console;
    console.capture = true;
    for (std::size_t i = 0; i < records.size(); ++i) {
        ASSERT_EQ(cursor.advance(console), RecordCursor::Step::record) << i;
        ASSERT_EQ(cursor.current(), records[i]) << i;
        if (i >= 48) {
            ASSERT_EQ(*cursor.at(-48), records[i - 48]) << i;
        }
        if (i + 48 < records.size()) {
            ASSERT_EQ(*cursor.at(48), records[i + 48]) << i;
        }
    }
    EXPECT_EQ(cursor.advance(console), RecordCursor::Step::end);
    EXPECT_EQ(console.captured, "");

    File work(std::tmpfile());
    for (std::size_t i = 0; i < 3000; ++i) {
        const RecordBytes bytes = encode_record(records[i]);
        std::fwrite(bytes.data(), 1, bytes.size(), work.get());
    }
    std::rewind(work.get());
    RecordCursor cut(std::move(work), 3100, "work");  // 100 records fewer than the count
    RecordCursor::Step step = RecordCursor::Step::record;
    std::size_t steps = 0;
    while (step == RecordCursor::Step::record && steps < 3100) {
        step = cut.advance(console);
        ++steps;
    }
    EXPECT_EQ(step, RecordCursor::Step::read_error);
    EXPECT_EQ(console.captured, "\twork Read Error\n");
}

TEST(NameTables, CapacityMessageOnce) {
    Console console;
    console.capture = true;
    DataNameTable table;
    table.capacity = 1;
    data_name_put(table, console, "FIRST", 1, 0);
    data_name_put(table, console, "SECOND", 2, 0);
    data_name_put(table, console, "THIRD", 3, 0);
    EXPECT_EQ(console.captured, "\tData Name max over\n");
    EXPECT_EQ(table.entries.size(), 1U);
    EXPECT_EQ(data_name_find(table, "SECOND"), nullptr);

    data_name_put(table, console, "FIRST", 7, 1);
    ASSERT_NE(data_name_find(table, "FIRST"), nullptr);
    EXPECT_EQ(data_name_find(table, "FIRST")->value, 7);
    EXPECT_EQ(data_name_find(table, "FIRST")->kind, 1);
}

TEST(NameTables, SixteenSignificantCharactersAndExactCase) {
    Console console;
    DataNameTable table;
    data_name_put(table, console, "THIS_IS_A_LONG_NAME1", 1, 0);
    data_name_put(table, console, "THIS_IS_A_LONG_NAME2", 2, 0);
    ASSERT_EQ(table.entries.size(), 1U);
    EXPECT_EQ(table.entries[0].name, "THIS_IS_A_LONG_N");
    EXPECT_EQ(data_name_find(table, "THIS_IS_A_LONG_N")->value, 2);
    EXPECT_EQ(data_name_find(table, "this_is_a_long_n"), nullptr);
    EXPECT_EQ(data_name_find(table, "THIS_IS_A_LONG"), nullptr);
}

TEST(NameTables, MacroIndexAndCapacity) {
    Console console;
    console.capture = true;
    MacroNameTable table;
    table.capacity = 2;
    macro_name_put(table, console, "M1");
    macro_name_put(table, console, "M2");
    macro_name_put(table, console, "M1");
    macro_name_put(table, console, "M3");
    macro_name_put(table, console, "M4");
    EXPECT_EQ(console.captured, "\tMacro Name max over\n");
    EXPECT_EQ(macro_name_find(table, "M2"), 1U);
    EXPECT_FALSE(macro_name_find(table, "M3").has_value());
}

// The macro index grows as names arrive: every name keeps its number through each growth, names
// alike in their first eight or sixteen characters stay apart, and a name is found by its
// significant part only.
TEST(NameTables, MacroIndexKeepsEveryNameAsItGrows) {
    Console console;
    console.capture = true;
    MacroNameTable table;
    table.capacity = 300;
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) names.push_back("MACRO_NAME_" + std::to_string(i));
    for (const std::string& name : names) macro_name_put(table, console, name);
    macro_name_put(table, console, "SIXTEEN_CHARS_AB_AND_MORE");
    EXPECT_EQ(console.captured, "\tMacro Name max over\n");
    ASSERT_EQ(table.names.size(), 300U);
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(macro_name_find(table, names[i]), i) << names[i];
    EXPECT_FALSE(macro_name_find(table, "MACRO_NAME_").has_value());
    EXPECT_FALSE(macro_name_find(table, "MACRO_NAME_300").has_value());
    EXPECT_FALSE(macro_name_find(table, "macro_name_1").has_value());

    MacroNameTable longer;
    macro_name_put(longer, console, "SIXTEEN_CHARS_AB");
    EXPECT_EQ(macro_name_find(longer, "SIXTEEN_CHARS_AB_AND_MORE"), 0U);
    EXPECT_EQ(macro_name_find(longer, std::string_view("SIXTEEN_CHARS_AB\0X", 18)), 0U);
    EXPECT_FALSE(macro_name_find(longer, "SIXTEEN_CHARS_A").has_value());
    EXPECT_FALSE(macro_name_find(longer, "").has_value());
}

std::vector<std::string> read_all(const std::string& bytes) {
    // One file per test: ctest runs the tests of this file side by side.
    const char* test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::string path = ::testing::TempDir() + "text_input_" + test + ".txt";
    std::ofstream(path, std::ios::binary) << bytes;
    TextFile file;
    EXPECT_TRUE(file.open(path));
    std::vector<std::string> lines;
    std::string line;
    while (file.read_line(line)) lines.push_back(line);
    std::remove(path.c_str());
    return lines;
}

TEST(TextInput, DosTextRules) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(read_all("A\r\nB\r\n"), (Lines{"A\n", "B\n"}));
    EXPECT_EQ(read_all("A\rB\n"), (Lines{"A\rB\n"}));
    EXPECT_EQ(read_all("A\nB\x1A"
                       "C\nD\n"),
              (Lines{"A\n", "B\n"}));
    EXPECT_EQ(read_all("last"), (Lines{"last\n"}));
    EXPECT_EQ(read_all(""), (Lines{}));
    EXPECT_EQ(read_all("\n\n"), (Lines{"\n", "\n"}));
    EXPECT_EQ(read_all(std::string("AB\0CD\nE\n", 8)), (Lines{"AB\n", "E\n"}));
}

TEST(TextInput, LongLinesAreReadIn254CharacterPieces) {
    std::string text(600, 'x');
    auto lines = read_all(text + "\n");
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0], std::string(254, 'x') + "\n");
    EXPECT_EQ(lines[1], std::string(254, 'x') + "\n");
    EXPECT_EQ(lines[2], std::string(92, 'x') + "\n");
    // A line of exactly 254 characters leaves its newline for the next read.
    auto exact = read_all(std::string(254, 'y') + "\nz\n");
    ASSERT_EQ(exact.size(), 3U);
    EXPECT_EQ(exact[1], "\n");
    EXPECT_EQ(exact[2], "z\n");
}

// The file is read in blocks: a CR-LF split between two of them is still one line end. The four
// shifts put the CR at every place modulo 4, so one of them lands it on the last byte of a block.
TEST(TextInput, CrLfSplitBetweenBlocks) {
    for (std::size_t shift = 0; shift < 4; ++shift) {
        std::string text(shift, 'x');
        for (int i = 0; i < 40000; ++i) text += "ab\r\n";  // several blocks, however large they are
        auto lines = read_all(text);
        ASSERT_EQ(lines.size(), 40000U) << shift;
        EXPECT_EQ(lines[0], std::string(shift, 'x') + "ab\n");
        EXPECT_EQ(std::count(lines.begin() + 1, lines.end(), "ab\n"), 39999) << shift;
    }
}

// A CR-LF line is taken in place from the block, its LF moved over its CR; a line that meets the
// 254-character cut, holds a NUL or a lone CR, or ends at a Ctrl-Z is pieced instead. Both ways must
// give the same lines, at every length around the cut.
TEST(TextInput, CrLfLinesAroundTheCut) {
    using Lines = std::vector<std::string>;
    EXPECT_EQ(read_all(std::string(253, 'a') + "\r\nb\r\n"), (Lines{std::string(253, 'a') + "\n", "b\n"}));
    EXPECT_EQ(read_all(std::string(254, 'a') + "\r\nb\r\n"), (Lines{std::string(254, 'a') + "\n", "\n", "b\n"}));
    EXPECT_EQ(read_all(std::string(255, 'a') + "\r\nb\r\n"), (Lines{std::string(254, 'a') + "\n", "a\n", "b\n"}));
    const std::string mixed("A\r\nB\rC\r\nD\0E\r\nF\r\n", 16);
    EXPECT_EQ(read_all(mixed), (Lines{"A\n", "B\rC\n", "D\n", "F\n"}));
    EXPECT_EQ(read_all("A\r\nB\x1A\r\n"), (Lines{"A\n", "B\n"}));
    EXPECT_EQ(read_all("A\r\n\r\nB\r"), (Lines{"A\n", "\n", "B\r\n"}));
}

TEST(TextInput, DirectoryIsNotAFile) {
    TextFile file;
    EXPECT_FALSE(file.open(::testing::TempDir()));
}

}  // namespace
