// LineRecord: what pass 1 learned about one source line, and the work file that carries the
// records from pass 1 to pass 2 as a plain sequence of 24-byte little-endian records.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// Special values of LineRecord::code. Instruction and directive codes come from the keyword table.
namespace line_code {
inline constexpr std::uint16_t label_only = 0x0000;  // also the all-zero terminating record
inline constexpr std::uint16_t macro_call = 0x0280;
inline constexpr std::uint16_t comment = 0x7000;     // blank, comment-only, ignored keyword, absorbed
inline constexpr std::uint16_t unknown = 0x8000;     // unknown mnemonic, already reported
inline constexpr std::uint16_t error_bit = 0x8000;   // added to a code whose line is in error
inline constexpr std::uint16_t passthrough = 0xF000; // line begins with a backslash
}  // namespace line_code

// HD64180 register codes held in reg1/reg2. An indirect (parenthesised) pair is its code + 16.
namespace reg {
inline constexpr std::uint8_t A = 1, F = 2, B = 3, C = 4, D = 5, E = 6, H = 7, L = 8;
inline constexpr std::uint8_t AF = 9, BC = 10, DE = 11, HL = 12, IX = 13, IY = 14, SP = 15;
inline constexpr std::uint8_t indirect = 16;
}  // namespace reg

struct LineRecord {
    std::uint16_t code = 0;
    std::uint8_t form = 0;
    std::uint8_t col1 = 0;  // column where the operand (or the expression the form needs) begins
    std::uint8_t col2 = 0;  // column of a second expression (forms 11, 12, 42, 43)
    std::uint8_t reg1 = 0;
    std::uint8_t reg2 = 0;
    std::array<char, 17> label{};  // at most 16 characters, zero-padded; the 17th byte stays zero

    std::string_view label_view() const;
    void set_label(std::string_view name);  // keeps the first 16 characters
    bool operator==(const LineRecord&) const = default;
};

inline constexpr std::size_t record_size = 24;
using RecordBytes = std::array<unsigned char, record_size>;

RecordBytes encode_record(const LineRecord& record);
LineRecord decode_record(const unsigned char* bytes);

// The text of `line` from a record column on; empty when the column lies past its end.
inline std::string_view text_at(std::string_view line, std::size_t column) {
    return column <= line.size() ? line.substr(column) : std::string_view();
}

// The macro-table index of a macro call: its low byte in form, the high byte in col2.
inline std::size_t macro_index(const LineRecord& record) {
    return static_cast<std::size_t>(record.form) | static_cast<std::size_t>(record.col2) << 8;
}

// A code of 0x1000 or more and below 0x7000 is an instruction.
inline bool is_instruction(std::uint16_t code) { return code >= 0x1000 && code < 0x7000; }
// A nonzero code below 0x1000 is a directive or a macro call.
inline bool is_directive(std::uint16_t code) { return code != 0 && code < 0x1000; }
