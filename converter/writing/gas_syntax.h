// The syntax of GNU as for the H8/300: symbols, operand expressions and numbers as that assembler
// reads them. The writer lays the lines out; this file spells their fields.
#pragma once

#include <string>
#include <string_view>

#include "writing/output_line.h"

// A symbol as GNU as reads it: in upper case (HD64180 names ignore letter case, GNU names do not),
// an apostrophe written as '.', and a '.' put in front of a name spelled like a register (R0, R0H,
// ER0, SP, CCR, ...) or starting with one before a '.', and of a name starting with L (which GNU as
// for COFF takes for a local label). No HD64180 name holds a '.', so a renamed name never meets
// another name of the program.
std::string gas_symbol(std::string_view name);
// gas_symbol appended to `out`.
void append_gas_symbol(std::string& out, std::string_view name);

// An operand from its pieces. Expressions keep the HD64180 order of evaluation, which GNU as does
// not share (it binds & tighter than +): parentheses say it. `fallback` is written when there are
// no pieces.
std::string gas_operand(const OperandPieces& operand, std::string_view fallback);
// gas_operand appended to `out`.
void append_gas_operand(std::string& out, const OperandPieces& operand, std::string_view fallback);

// H8/300 text the user carried through: numbers written H'1F (which GNU as would read as 0 without
// a word) become 0x1F in the part before the comment.
std::string gas_passthrough_text(std::string_view text);

// The branch that skips what a branch on the opposite condition would take (BNE for BEQ); empty
// for BRA, whose long form is a jump alone.
std::string_view opposite_branch(std::string_view mnemonic);
