#include "expressions/expression_rewriter.h"

#include "reading/text_scan.h"

namespace {

bool is_translated_operator(char ch) { return std::string_view("+-*/%&|~^").find(ch) != std::string_view::npos; }
// The H8/300 assembler writes exclusive-or as '~'.
char h8_operator(char ch) { return ch == '^' ? '~' : ch; }

}  // namespace

Rewrite translate_expression(const EvalState& eval, const DataNameTable& names, std::string_view text, Width width,
                             std::string& out) {
    constexpr std::size_t token_max = 16;
    text = before_nul(text);

    out.clear();
    std::size_t i = 0;
    bool expecting_operand = true;
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
            } else if (is_translated_operator(ch)) {
                out.push_back(h8_operator(ch));
                ++i;
                expecting_operand = true;
            } else if (ch == ')') {
                out.push_back(ch);
                ++i;
            } else {
                if (ch != '\0' && ch != ',' && ch != ';') translatable = false;
                break;
            }
            continue;
        }

        if (ch == '(') {
            out.push_back(ch);
            ++i;
            continue;
        }
        if (ch == '$') {
            out.push_back(ch);
            ++i;
            expecting_operand = false;
            continue;
        }
        if (is_translated_operator(ch)) {
            out.push_back(h8_operator(ch));
            ++i;
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
            token = hex_digits(number_value(eval.default_radix, token, width));
        } else {
            const char op = operator_keyword_char(upper_case(token));
            if (op == '~' || op == '&' || op == '|' || op == '^') {
                out.push_back(h8_operator(op));
                i += token.size();
                continue;
            }
            if (op == op_high || op == op_low) {
                out += token;
                out.push_back(' ');
                i += token.size();
                continue;
            }
            if (op != 0) {  // comparisons and shifts have no H8/300 operator
                translatable = false;
                break;
            }
            const DataNameEntry* entry = eval.in_macro_body ? data_name_find(names, token) : nullptr;
            if (entry != nullptr && entry->kind == name_kind::macro_parameter) out.push_back('\\');
        }
        out += token;
        while (i < text.size() && is_name_char(text[i])) ++i;
        expecting_operand = false;
    }

    if (!translatable || out.find('$') != std::string::npos) return Rewrite::not_translatable;
    return i < text.size() && text[i] == ',' ? Rewrite::more_follows : Rewrite::complete;
}
