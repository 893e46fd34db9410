// The expression rewriter: rewrites an HD64180 operand expression into H8/300 assembler syntax,
// keeping names symbolic (LABEL+1 becomes LABEL+H'1).
#pragma once

#include <string>
#include <string_view>

#include "expressions/evaluator.h"
#include "writing/output_line.h"

enum class Rewrite {
    not_translatable,  // the caller writes the evaluated value instead
    more_follows,      // rewritten; a ',' follows the operand
    complete,          // rewritten; the operand ended at ';' or the end
};

// Rewrites the operand at the start of `text` into `out`. Numbers in it keep their 16 bits: the
// assembler computes the expression, and only its result takes the operand's width.
// `symbolic` (when given) tells whether the rewrite keeps a name. `pieces` (when given) receives
// the same operand as pieces, for the writers that need its structure.
Rewrite translate_expression(const EvalState& eval, const DataNameTable& names, std::string_view text, std::string& out,
                             bool* symbolic = nullptr, std::vector<Piece>* pieces = nullptr);
// The same, written into `out` after `prefix` (a jump's target behind its '@').
Rewrite translate_expression_after(const EvalState& eval, const DataNameTable& names, std::string_view text,
                                   std::string_view prefix, std::string& out, bool* symbolic = nullptr,
                                   std::vector<Piece>* pieces = nullptr);

// The operand when it is one name of at most 16 characters and nothing else before ';', a NUL or
// the end (PUTCH, LOOP1 ; comment), outside a macro body: translate_expression rewrites it as the
// name itself, a name piece, complete. Empty for any other operand, which the caller leaves to
// translate_expression.
std::string_view lone_name(const EvalState& eval, std::string_view text);

// Evaluates the operand as evaluate_operand does (into `value`) and rewrites it as
// translate_expression does, appending the rewritten text to `out` (what stands there is kept).
// Names, numbers and character constants joined by + and - (LABEL+1, TOP-BASE, 4EH, 'A'-'0', -1),
// the shape most operands have, are done in one walk; any other operand is evaluated and rewritten
// by the two general walks.
Rewrite evaluate_and_rewrite(const EvalState& eval, const DataNameTable& names, std::string_view text, Width width,
                             Evaluation& value, std::string& out, bool* symbolic = nullptr,
                             std::vector<Piece>* pieces = nullptr);
