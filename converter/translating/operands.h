// Operand rendering: fills the operand slots of an instruction line in H8/300 syntax (register
// names, "#" immediates, "@" addresses, "@(d,R4)" indexed operands, bit numbers).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "driver/context.h"
#include "translating/templates.h"
#include "writing/output_line.h"

// The H8/300 name of an HD64180 register code (A R0H ... HL R3, (HL) @R3, post-increment @R3+ ...).
// True with the name in `slot`; false after printing "register error %X\n", `slot` unchanged.
bool h8_register_name(Console& console, std::string& slot, std::uint8_t code);

// Fills the slots the record's form needs from its register codes and from the operand texts at
// its columns in `line`. False when an operand failed: the line has then been reported (the first
// failure decides the message) and its error line added to `out`.
bool render_operands(Context& ctx, LineRecord& record, std::string_view line, OperandSlots& slots, Translation& out);
// The same for any form; render_operands fills the slots of register forms itself and leaves the
// others to this.
bool render_all_operands(Context& ctx, LineRecord& record, std::string_view line, OperandSlots& slots,
                         Translation& out);

// Marks the record in error, prints the undefined-symbol or illegal-operand message and returns the
// error line.
OutputLine report_operand_error(Context& ctx, LineRecord& record, const Outcome& outcome);

// Each renderer below evaluates its operand text itself and tells how the operand fared; `pieces`
// (when given) receives the operand as pieces as well.

// {imm} := "#" and the operand, rewritten or else evaluated. In a byte operand an undefined name is
// an error; a word operand keeps it symbolic when the expression can be rewritten.
Outcome render_immediate(Context& ctx, std::string_view text, Width width, std::string& imm,
                         OperandPieces* pieces = nullptr);

// {mem} := "@" and the address that `text` starts with (it ends at the last ')' before the first
// ',', ';' or newline). Width and the tolerance of undefined names are separate settings: a store
// address is 16 bits wide but must be defined.
Outcome render_direct(Context& ctx, std::string_view text, Width width, bool tolerate_undefined, std::string& mem,
                      OperandPieces* pieces = nullptr);

// {mem} := "@(" displacement "," register ")", the displacement taken as in render_direct and
// evaluated in 8 bits. IX gives R4, IY R5, any other pair its own register.
Outcome render_indexed(Context& ctx, std::string_view text, std::uint8_t index_register, std::string& mem,
                       OperandPieces* pieces = nullptr);

// {bit} := "#" and the bit number, 8 bits; a single decimal digit is written plainly (#3, #H'A).
Outcome render_bit_number(Context& ctx, std::string_view text, std::string& bit, OperandPieces* pieces = nullptr);

// Whether GNU as would compute the operand wrongly without saying so: a name it places (a label, a
// DS block, an external) under a unary minus or complement, under HIGH or LOW, or in an expression
// with an operator other than + and -.
bool gas_cannot_hold(const Context& ctx, const std::vector<Piece>& pieces);
// Whether the piece is a name that GNU as places (a label, a DS block, an external): one that is not
// a value of the data-name table.
bool gas_places(const Context& ctx, const Piece& piece);
