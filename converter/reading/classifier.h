// The operand classifier: for an instruction line, the operand shape (form), up to two register
// codes and the columns where expression text begins.
#pragma once

#include <cstdint>
#include <string_view>

#include "driver/context.h"

// A = 1 ... L = 8 from one character; anything else 0 (I and R are no registers here).
std::uint8_t reg8_code(std::string_view text);
// AF = 9 ... SP = 15 from the first two characters; anything else 0.
std::uint8_t reg16_code(std::string_view text);

// Classifies the operands of the instruction in `record` against `line` (upper case); returns the form.
// On failure prints "(%d) ERROR: illegal operand\n" and sets bit 15 of the code.
Form classify_operands(Context& ctx, std::string_view line, LineRecord& record);
// The same for a line that holds no NUL, as every line the source reader gives: the text is
// then not looked through for one first.
Form classify_nul_free_operands(Context& ctx, std::string_view line, LineRecord& record);
// The same as classify_operands, each of the instruction's classifiers tried in turn on the text,
// where classify_operands reads operands that open no parenthesis once and tells their form from
// the registers they name: the two must always agree.
Form classify_operands_by_trying(Context& ctx, std::string_view line, LineRecord& record);
