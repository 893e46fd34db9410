// The rewriter's walk for an operand of any shape, token by token, and the small readings it shares
// with the rewriter's short walks for the plain shapes (expression_rewriter.cpp). It stands in a
// file of its own so that the short walks, which most operands take, stay small where they are
// called.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "expressions/evaluator.h"
#include "expressions/expression_rewriter.h"
#include "reading/text_scan.h"
#include "writing/output_line.h"

// Names and numbers are read to this many characters.
inline constexpr std::size_t token_max = 16;

// The operator a name spells in either letter case (AND, MOD, ...), or 0. Operator keywords are
// short: a longer name is not upper-cased to be compared, and a shorter one is upper-cased on the
// stack.
inline char keyword_operator(std::string_view token) {
    if (token.size() > 4) return 0;
    std::array<char, 4> upper{};
    for (std::size_t i = 0; i < token.size(); ++i) upper[i] = to_upper(token[i]);
    return operator_keyword_char(std::string_view(upper.data(), token.size()));
}

inline bool is_translated_operator(char ch) { return is_one_of(ch, "+-*/%&|~^"); }

// A character the H8/300 assembler reads inside a character constant as the HD64180 assembler does.
inline bool copies_in_constant(char ch) { return is_name_start(ch) || is_translated_operator(ch); }

// The length of the character constant at the start of `text` when it can be copied as it stands
// ('A', '+'), or 0: a blank, a control character, a quote or a separator inside would be read
// differently or not at all, so the caller writes the evaluated value instead.
inline std::size_t copyable_constant(std::string_view text) {
    const std::size_t close = text.find('\'', 1);
    if (close == std::string_view::npos || close == 1) return 0;
    for (std::size_t k = 1; k < close; ++k) {
        if (!copies_in_constant(text[k])) return 0;
    }
    if (close + 1 < text.size() && text[close + 1] == '\'') return 0;  // a doubled quote
    return close + 1;
}

// The value of a character constant's characters: one byte each, the last two count.
inline std::uint16_t constant_value(std::string_view characters) {
    std::uint16_t value = 0;
    for (char ch : characters) value = static_cast<std::uint16_t>(value << 8 | static_cast<unsigned char>(ch));
    return value;
}

// Whether `name` is a parameter of the macro whose body is being read.
inline bool is_macro_parameter(const DataNameTable& names, std::string_view name) {
    const DataNameEntry* entry = data_name_find(names, name);
    return entry != nullptr && entry->kind == name_kind::macro_parameter;
}

// Appends a piece to `pieces`. Out of line: the walks call it only for the GNU syntax and where a
// caller asks for the structure, and building a piece takes more code than the rest of a short walk.
void add_piece(std::vector<Piece>& pieces, PieceKind kind, std::string_view text, std::uint16_t value = 0);

// Rewrites the operand at the start of `text` token by token, after what `out` holds (kept),
// whatever its shape; `named` tells whether the rewrite keeps a name, `pieces` (when given)
// receives the operand as pieces after what it holds.
Rewrite rewrite_any_operand(const EvalState& eval, const DataNameTable& names, std::string_view text, std::string& out,
                            bool& named, std::vector<Piece>* pieces);
