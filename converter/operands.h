// Operand rendering: fills the operand slots of the current instruction line in H8/300 syntax
// (register names, "#" immediates, "@" addresses, "@(d,R4)" indexed operands, bit numbers).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "context.h"

// The H8/300 name of an HD64180 register code (A R0H ... HL R3, (HL) @R3, post-increment @R3+ ...).
// Returns 0 with the name in `slot`; 1 after printing "register error %X\n", `slot` unchanged.
int h8_register_name(Console& console, std::string& slot, std::uint8_t code);

// Fills the slots the record's form needs from its register codes and from the operand texts at
// its columns in ctx.line_buffer. True when an operand failed: the line has then been reported
// (the first failure decides the message) and written as an error line.
bool render_operands(Context& ctx, LineRecord& record);

// Each renderer below evaluates its operand text itself and returns 0, or 1 when the operand is in
// error (ctx.eval.line_status and undefined_name then tell why).

// {imm} := "#" and the operand, translated or else evaluated. Width 0 is an 8-bit evaluation in
// which an undefined name is an error; width 1 is 16-bit and keeps an undefined name symbolic
// when the expression can be rewritten.
int render_immediate(Context& ctx, std::string_view text, int width);

// {mem} := "@" and the address that `text` starts with (it ends at the last ')' before the first
// ',', ';' or newline). Width and the tolerance of undefined names are separate settings: a store
// address is 16 bits wide but must be defined.
int render_direct(Context& ctx, std::string_view text, int width, bool tolerate_undefined);

// {mem} := "@(" displacement "," register ")", the displacement taken as in render_direct and
// evaluated in 8 bits. IX gives R4, IY R5, any other pair its own register. Overwrites {imm}.
int render_indexed(Context& ctx, std::string_view text, std::uint8_t index_register);

// {bit} := "#" and the bit number, 8 bits; a single decimal digit is written plainly (#3, #H'A).
int render_bit_number(Context& ctx, std::string_view text);
