// Operand rendering: fills the operand slots of the current instruction line in H8/300 syntax
// (register names, "#" immediates, "@" addresses, "@(d,R4)" indexed operands, bit numbers).
#pragma once

#include <cstdint>
#include <string>

#include "context.h"

// The H8/300 name of an HD64180 register code (A R0H ... HL R3, (HL) @R3, post-increment @R3+ ...).
// Returns 0 with the name in `slot`; 1 after printing "register error %X\n", `slot` unchanged.
int h8_register_name(Console& console, std::string& slot, std::uint8_t code);
