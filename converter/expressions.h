// Expression translation: rewrites an HD64180 operand expression into H8/300 assembler syntax,
// keeping names symbolic (LABEL+1 becomes LABEL+H'1).
#pragma once

#include <string>
#include <string_view>

#include "context.h"

// Results of translate_expression.
namespace translation {
inline constexpr int not_translatable = 0;  // the caller writes the evaluated value instead
inline constexpr int more_follows = 1;      // translated; a ',' follows the operand
inline constexpr int complete = 2;          // translated; the operand ended at ';' or the end
}  // namespace translation

// Numbers are converted at eval.eval_width: a caller that wants a particular width sets it first.
int translate_expression(const EvalState& eval, const DataNameTable& names, std::string& out,
                         std::string_view text);
