#include "expressions/token_rewriter.h"

namespace {

// The H8/300 assembler writes exclusive-or as '~'.
char h8_operator(char ch) { return ch == '^' ? '~' : ch; }

}  // namespace

void add_piece(std::vector<Piece>& pieces, PieceKind kind, std::string_view text, std::uint16_t value) {
    pieces.push_back({kind, std::string(text), value});
}

Rewrite rewrite_any_operand(const EvalState& eval, const DataNameTable& names, std::string_view text, std::string& out,
                            bool& named, std::vector<Piece>* pieces) {
    const std::size_t start = out.size();
    text = before_nul(text);
    auto add = [pieces](PieceKind kind, std::string_view piece_text, std::uint16_t value = 0) {
        if (pieces != nullptr) add_piece(*pieces, kind, piece_text, value);
    };

    std::size_t i = 0;
    bool expecting_operand = true;
    bool after_operand = false;  // the operand before the current token has ended
    bool translatable = true;
    auto skip_space = [&] {
        while (i < text.size() && is_white_space(text[i])) ++i;
    };

    for (;;) {
        skip_space();
        const char ch = i < text.size() ? text[i] : '\0';
        if (!expecting_operand) {
            if (ch == '_' || ch == '\'' || is_letter(ch)) {
                expecting_operand = true;  // a keyword operator, or a name joined to the last one
                after_operand = true;
            } else if (is_translated_operator(ch)) {
                out.push_back(h8_operator(ch));
                add(PieceKind::binary, std::string(1, h8_operator(ch)));
                ++i;
                expecting_operand = true;
            } else if (ch == ')') {
                out.push_back(ch);
                add(PieceKind::close, ")");
                ++i;
            } else {
                if (ch != '\0' && ch != ',' && ch != ';') translatable = false;
                break;
            }
            continue;
        }

        // Whether an operand stands right before (a keyword found there is a binary operator).
        const bool follows_operand = after_operand;
        after_operand = false;
        if (ch == '(') {
            out.push_back(ch);
            add(PieceKind::open, "(");
            ++i;
            continue;
        }
        if (ch == '$') {
            out.push_back(ch);
            add(PieceKind::location, "$");
            ++i;
            expecting_operand = false;
            continue;
        }
        if (is_translated_operator(ch)) {
            out.push_back(h8_operator(ch));
            add(PieceKind::unary, std::string(1, h8_operator(ch)));
            ++i;
            continue;
        }
        if (ch == '\'') {
            const std::size_t length = copyable_constant(text.substr(i));
            if (length == 0) {
                translatable = false;
                break;
            }
            out += text.substr(i, length);
            add(PieceKind::number, text.substr(i, length), constant_value(text.substr(i + 1, length - 2)));
            i += length;
            expecting_operand = false;
            continue;
        }

        std::string token;
        name_scan(token, text.substr(i), token_max);
        if (token.empty()) {
            translatable = false;
            break;
        }
        if (is_digit(token.front())) {
            out += "H'";
            // The assembler computes the expression: its numbers keep all 16 bits.
            const std::uint16_t value = number_value(eval.default_radix, token, Width::word);
            token = hex_digits(value);
            add(PieceKind::number, "H'" + token, value);
        } else {
            const char op = keyword_operator(token);
            if (op == '~' || op == '&' || op == '|' || op == '^') {
                out.push_back(h8_operator(op));
                const bool binary = follows_operand && op != '~';
                add(binary ? PieceKind::binary : PieceKind::unary, std::string(1, h8_operator(op)));
                i += token.size();
                continue;
            }
            if (op == op_high || op == op_low) {
                out += token;
                out.push_back(' ');
                add(op == op_high ? PieceKind::high : PieceKind::low, token);
                i += token.size();
                continue;
            }
            if (op != 0) {  // comparisons and shifts have no H8/300 operator
                translatable = false;
                break;
            }
            named = true;
            const bool parameter = eval.in_macro_body && is_macro_parameter(names, token);
            if (parameter) out.push_back('\\');
            add(parameter ? PieceKind::parameter : PieceKind::name, token);
        }
        out += token;
        while (i < text.size() && is_name_char(text[i])) ++i;
        expecting_operand = false;
    }

    if (!translatable || out.find('$', start) != std::string::npos) return Rewrite::not_translatable;
    return i < text.size() && text[i] == ',' ? Rewrite::more_follows : Rewrite::complete;
}
