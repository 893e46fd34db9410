// Constant translation: the value of an HD64180 operand (numbers in every radix, character
// constants, names from the data-name table, operator keywords, six precedence levels), as
// upper-case hexadecimal text. Errors are reported through EvalState::line_status.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "context.h"

// Internal operator characters of HIGH and LOW; they never reach an output file.
inline constexpr char op_high = static_cast<char>(0xA2);
inline constexpr char op_low = static_cast<char>(0xA3);

struct OperatorKeyword {
    char op;
    std::string_view keyword;
};
// NOT AND OR XOR HIGH LOW EQ NE GT GE LT LE SHR SHL, in this order.
extern const std::array<OperatorKeyword, 14> OperatorKeywords;
// The internal character of an operator keyword (compared in upper case), or 0.
char operator_keyword_char(std::string_view upper_case_word);

// The internal operator characters of each precedence level; level 0 binds tightest.
extern const std::array<std::string_view, 6> OperatorLevels;

bool is_operator_char(char ch);
bool is_level_operator(char ch, int level);

// Evaluates the operand at the start of `text` (it ends at ',', '.', ';', newline or the end).
// `out` gets the value as hex digits, "" after an undefined name, "0" when malformed.
// Returns the offset in `text` of the next item when the operand ended at ',' or '.', past blanks
// and tabs; otherwise nothing.
std::optional<std::size_t> evaluate_operand(EvalState& eval, const DataNameTable& names, std::string& out,
                                            std::string_view text, int width);

// A value text of evaluate_operand read back as a number: its hexadecimal digits after any leading
// blanks, of which only the low 16 bits count.
std::uint16_t value_of(std::string_view value_text);

// Evaluates prepared text at precedence `level` (5 for a whole expression, -1 for one number or
// character constant). Sets eval.line_status to 1 on an error.
void reduce_expression(EvalState& eval, std::string& out, std::string_view text, int level);
