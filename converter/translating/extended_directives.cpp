#include "translating/extended_directives.h"

#include <algorithm>
#include <array>
#include <optional>

#include "expressions/expression_rewriter.h"
#include "reading/classifier.h"
#include "reading/text_scan.h"
#include "translating/directives.h"
#include "writing/gas_syntax.h"

namespace {

// The operand of the line (from col1, letter case as written) up to its comment; empty when the
// line has none.
std::string_view operand_of(std::string_view line, const LineRecord& record) {
    const std::string_view operand = operand_text(line, record);
    return trim(operand.substr(0, std::min(find_unquoted(operand, ";\n"), operand.size())));
}

// The line in error: `message` on the console, the source line kept as an error line. `opens`
// names the block the line opened or closed, so that the GNU syntax can keep the blocks paired.
OutputLine report_untranslatable(Context& ctx, LineRecord& record, const char* message,
                                 Directive opens = Directive::none) {
    ctx.console.print("(%d) ERROR: %s\n", ctx.includes.line_count(), message);
    record.code = in_error(record.code);
    OutputLine line = source_line_of(record);
    line.directive = opens;
    return line;
}

// An operand in the H8/300 syntax (`text`) and as pieces, from which the GNU syntax is written.
struct Expression {
    std::string text;
    std::vector<Piece> pieces;
};

// A directive of the target assembler; a label on the source line stays, as a label line in front.
void push_code(Translation& out, const LineRecord& record, Directive directive, std::string mnemonic,
               Expression operand = {}) {
    if (!record.label_view().empty()) {
        OutputLine label;
        label.kind = LineKind::label_only;
        label.label = record.label_view();
        out.push_back(std::move(label));
    }
    out.push_back(directive_line(directive, {}, std::move(mnemonic), std::move(operand.text),
                                 OperandPieces{std::move(operand.pieces)}));
}

// The whole of `text` rewritten as one H8/300 expression, or nothing.
std::optional<Expression> whole_expression(const Context& ctx, std::string_view text) {
    text = trim(text);
    if (text.empty()) return std::nullopt;
    Expression out;
    if (translate_expression(ctx.eval, ctx.data_names, text, out.text, nullptr, &out.pieces) != Rewrite::complete) {
        return std::nullopt;
    }
    return out;
}

// `left OP right` as the H8/300 writes a comparison (OP a keyword such as EQ) and, in the pieces,
// as GNU as does (==), each side in parentheses since GNU as binds its operators differently.
Expression comparison(Expression left, std::string_view keyword, Expression right) {
    constexpr std::array<std::pair<std::string_view, std::string_view>, 6> gas_operators = {
        {{"EQ", " == "}, {"NE", " <> "}, {"GT", " > "}, {"GE", " >= "}, {"LT", " < "}, {"LE", " <= "}}};
    std::string_view gas_operator = " == ";
    for (const auto& [name, written] : gas_operators) {
        if (name == keyword) gas_operator = written;
    }
    Expression out;
    out.text = left.text + " " + std::string(keyword) + " " + right.text;
    out.pieces.push_back({PieceKind::open, "(", 0});
    out.pieces.insert(out.pieces.end(), left.pieces.begin(), left.pieces.end());
    out.pieces.push_back({PieceKind::close, ")", 0});
    out.pieces.push_back({PieceKind::text, std::string(gas_operator), 0});
    out.pieces.push_back({PieceKind::open, "(", 0});
    out.pieces.insert(out.pieces.end(), right.pieces.begin(), right.pieces.end());
    out.pieces.push_back({PieceKind::close, ")", 0});
    return out;
}

Expression literal(std::string_view text) { return {std::string(text), {{PieceKind::text, std::string(text), 0}}}; }

constexpr std::array<std::string_view, 6> comparisons = {"EQ", "NE", "GT", "GE", "LT", "LE"};
// Operators that bind less tightly than a comparison: A GT 2 AND B is (A GT 2) AND B.
constexpr std::array<std::string_view, 4> logical_operators = {"NOT", "AND", "OR", "XOR"};

bool is_one_of(std::string_view word, auto const& words) {
    for (std::string_view candidate : words) {
        if (word == candidate) return true;
    }
    return false;
}

// Where a condition splits into the two sides of one comparison: the position of the comparison
// keyword standing as a word outside quotes and parentheses, npos when there is none, and
// `splittable` false when the condition holds a second comparison or a logical operator besides.
struct Split {
    std::size_t at = std::string_view::npos;
    bool splittable = true;
};

Split find_comparison(std::string_view text) {
    Split split;
    int depth = 0;
    bool logical = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (opens_quoted_string(text, i)) {
            i = text.find(ch, i + 1);
            continue;
        }
        if (ch == '(') ++depth;
        if (ch == ')') --depth;
        if (!is_name_start(ch) || (i > 0 && is_name_char(text[i - 1]))) continue;
        std::size_t end = i;
        while (end < text.size() && is_name_char(text[end])) ++end;
        const std::string word = upper_case(text.substr(i, end - i));
        if (is_one_of(word, comparisons)) {
            if (depth != 0 || split.at != std::string_view::npos) split.splittable = false;
            split.at = i;
        }
        if (is_one_of(word, logical_operators)) logical = true;
        i = end - 1;
    }
    if (logical) split.splittable = false;
    return split;
}

// The .AIF operand of IF (true when nonzero) or IFF (true when zero): a comparison of two
// rewritten expressions, or nothing when the condition cannot be rewritten.
std::optional<Expression> aif_condition(const Context& ctx, std::string_view condition, bool when_zero) {
    const Split split = find_comparison(condition);
    const std::size_t at = split.at;
    if (at == std::string_view::npos) {
        std::optional<Expression> value = whole_expression(ctx, condition);
        if (!value) return std::nullopt;
        return comparison(std::move(*value), when_zero ? "EQ" : "NE", literal("0"));
    }
    // IFF of a comparison would need a negation the H8/300 form lacks.
    if (!split.splittable || when_zero) return std::nullopt;
    std::optional<Expression> left = whole_expression(ctx, condition.substr(0, at));
    std::optional<Expression> right = whole_expression(ctx, condition.substr(at + 2));
    if (!left || !right) return std::nullopt;
    return comparison(std::move(*left), upper_case(condition.substr(at, 2)), std::move(*right));
}

// IFDEF and IFNDEF: pass 1 has seen every label, so whether the name is defined is known now and
// the assembler is given the decided condition. A name defined only inside conditional blocks is
// defined or not as those conditions go: that is not decided here.
std::optional<Expression> defined_condition(const Context& ctx, std::string_view operand, bool wanted) {
    std::string name;
    name_scan(name, operand, 255);
    if (name.empty() || trim(operand.substr(name.size())).size() != 0) return std::nullopt;
    name = std::string(significant_name(upper_case(name)));
    const DataNameEntry* entry = data_name_find(ctx.data_names, name);
    const bool external = entry != nullptr && entry->kind == name_kind::external;
    const bool labelled = is_address_name(ctx.data_names, name);
    if (labelled && !external && !ctx.data_names.unconditional_addresses.contains(name)) return std::nullopt;
    const bool defined = external || labelled;
    return comparison(literal(defined == wanted ? "1" : "0"), "EQ", literal("1"));
}

void translate_condition(Context& ctx, LineRecord& record, std::string_view line, Translation& out) {
    const std::string_view operand = operand_of(line, record);
    std::optional<Expression> condition;
    switch (record.code) {
        case kw::IF: condition = aif_condition(ctx, operand, false); break;
        case kw::IFF: condition = aif_condition(ctx, operand, true); break;
        case kw::IFDEF: condition = defined_condition(ctx, operand, true); break;
        case kw::IFNDEF: condition = defined_condition(ctx, operand, false); break;
        default: break;
    }
    if (!condition) {
        out.push_back(report_untranslatable(ctx, record, "condition not translatable", Directive::if_true));
        return;
    }
    push_code(out, record, Directive::if_true, ".AIF", std::move(*condition));
}

// The characters of a quoted string that makes the whole operand, a doubled quote read as one.
std::optional<std::string> quoted_characters(std::string_view operand) {
    if (operand.size() < 2 || !is_quote(operand.front())) return std::nullopt;
    const char quote = operand.front();
    std::string chars;
    for (std::size_t i = 1; i < operand.size(); ++i) {
        if (operand[i] != quote) {
            chars.push_back(operand[i]);
        } else if (i + 1 < operand.size() && operand[i + 1] == quote) {
            chars.push_back(quote);
            ++i;
        } else {
            if (i + 1 != operand.size()) return std::nullopt;
            return chars;
        }
    }
    return std::nullopt;
}

// DC 'text': the text with bit 7 set in its last character, which marks the end of the string.
void translate_dc(Context& ctx, LineRecord& record, std::string_view line, Translation& out) {
    const std::optional<std::string> chars = quoted_characters(operand_of(line, record));
    if (!chars || chars->empty()) {
        out.push_back(report_untranslatable(ctx, record, "DC needs one quoted string"));
        return;
    }
    const std::string label(record.label_view());
    if (chars->size() > 1) {
        std::string text = "\"";
        for (std::size_t i = 0; i + 1 < chars->size(); ++i) {
            text.push_back((*chars)[i]);
            if ((*chars)[i] == '"') text.push_back('"');
        }
        text.push_back('"');
        const std::string_view leading = std::string_view(*chars).substr(0, chars->size() - 1);
        OutputLine string = directive_line(Directive::string, label, ".SDATA", text,
                                           OperandPieces{{{PieceKind::string, std::string(leading), 0}}});
        string.size = static_cast<std::uint16_t>(leading.size());
        out.push_back(std::move(string));
    }
    const auto last = static_cast<std::uint8_t>(chars->back() | 0x80);
    OutputLine marked = directive_line(Directive::data_byte, chars->size() > 1 ? std::string() : label, ".DATA.B",
                                       format_text("H'%X", last),
                                       OperandPieces{{{PieceKind::number, format_text("H'%X", last), last}}, true});
    marked.size = 1;
    out.push_back(std::move(marked));
}

// The blocks whose body writes their parameters as \NAME: a macro, and an IRP or IRPC that went out
// as .irp or .irpc.
bool in_parameter_block(const std::vector<std::uint16_t>& blocks) {
    return std::any_of(blocks.begin(), blocks.end(),
                       [](std::uint16_t code) { return code == kw::MACRO || code == kw::IRP || code == kw::IRPC; });
}

// A name standing for a register: what the body does with it is an operand shape, which a value
// put in its place cannot give.
bool names_register(std::string_view text) {
    const std::string name = upper_case(trim(text));
    return (name.size() == 1 && reg8_code(name) != 0) || (name.size() == 2 && reg16_code(name) != 0) || name == "AF'";
}

// The name an IRP or IRPC repeats under: one name, naming no symbol of the program (the block
// would otherwise change what that symbol is everywhere after it).
std::optional<Expression> repeat_name(Context& ctx, std::string_view text) {
    const bool in_body = ctx.eval.in_macro_body;
    ctx.eval.in_macro_body = false;  // a name being defined, never a reference to a parameter
    std::optional<Expression> name = whole_expression(ctx, text);
    ctx.eval.in_macro_body = in_body;
    if (!name || name->pieces.size() != 1 || name->pieces[0].kind != PieceKind::name) return std::nullopt;
    const DataNameEntry* entry = data_name_find(ctx.data_names, name->text);
    if ((entry != nullptr && entry->kind != name_kind::macro_parameter) ||
        is_address_name(ctx.data_names, name->text)) {
        return std::nullopt;
    }
    name->pieces[0].kind = PieceKind::parameter_name;
    return name;
}

// <A,B,C>: each value rewritten as an expression (an empty one stays empty), joined by commas.
std::optional<Expression> irp_values(const Context& ctx, std::string_view list) {
    list = trim(list);
    if (list.size() < 2 || list.front() != '<' || list.back() != '>') return std::nullopt;
    list = list.substr(1, list.size() - 2);
    Expression out;
    for (bool first = true;; first = false) {
        const std::size_t comma = find_unquoted(list, ",");
        const std::string_view item = trim(list.substr(0, comma));
        if (!first) out.pieces.push_back({PieceKind::text, ",", 0});
        if (!item.empty()) {
            if (names_register(item)) return std::nullopt;
            std::optional<Expression> value = whole_expression(ctx, item);
            if (!value) return std::nullopt;
            out.pieces.insert(out.pieces.end(), value->pieces.begin(), value->pieces.end());
        }
        if (comma == std::string_view::npos) return out;
        list = list.substr(comma + 1);
    }
}

// The characters of IRPC, bare or in angle brackets: digits and letters, each a number or a name
// in the body, so written as GNU as spells names. A letter the GNU syntax respells (L, which it
// writes .L) would name another symbol once put in the body.
std::optional<Expression> irpc_characters(std::string_view chars) {
    chars = trim(chars);
    if (chars.size() >= 2 && chars.front() == '<' && chars.back() == '>') chars = chars.substr(1, chars.size() - 2);
    if (chars.empty()) return std::nullopt;
    const std::string written = upper_case(chars);
    for (char ch : written) {
        const std::string_view one(&ch, 1);
        if (!is_name_start(ch) || names_register(one) || (is_letter(ch) && gas_symbol(one) != one)) {
            return std::nullopt;
        }
    }
    return literal(written);
}

// IRP NAME,<A,B,C> and IRPC NAME,CHARS repeat their body once for each value or character. GNU as
// has the same blocks (.irp, .irpc, with \NAME in the body); the H8/300 assembler has none.
void translate_each(Context& ctx, LineRecord& record, std::string_view line, Translation& out) {
    if (!ctx.settings.gas) {
        out.push_back(report_untranslatable(ctx, record, "IRP and IRPC have no H8/300 counterpart", Directive::repeat));
        return;
    }
    const std::string_view operand = operand_of(line, record);
    const std::size_t comma = find_unquoted(operand, ",");
    std::optional<Expression> name;
    std::optional<Expression> values;
    if (comma != std::string_view::npos) name = repeat_name(ctx, operand.substr(0, comma));
    if (name) {
        const std::string_view rest = operand.substr(comma + 1);
        values = record.code == kw::IRP ? irp_values(ctx, rest) : irpc_characters(rest);
    }
    if (!values) {
        out.push_back(report_untranslatable(ctx, record, "IRP or IRPC list not translatable", Directive::repeat));
        return;
    }
    data_name_put(ctx.data_names, ctx.console, name->text, 0, name_kind::macro_parameter);
    ctx.eval.in_macro_body = true;
    Expression head = std::move(*name);
    head.text += ",";
    head.pieces.push_back({PieceKind::text, ",", 0});
    head.pieces.insert(head.pieces.end(), values->pieces.begin(), values->pieces.end());
    const bool each_value = record.code == kw::IRP;
    push_code(out, record, each_value ? Directive::repeat_values : Directive::repeat_characters,
              each_value ? ".IRP" : ".IRPC", std::move(head));
}

void translate_repeat(Context& ctx, LineRecord& record, std::string_view line, Translation& out) {
    if (record.code != kw::REPT) {
        translate_each(ctx, record, line, out);
        // With its code in error when it went out as an error line: its ENDM is one, too.
        ctx.pass2.open_blocks.push_back(record.code);
        return;
    }
    ctx.pass2.open_blocks.push_back(record.code);
    std::optional<Expression> count = whole_expression(ctx, operand_of(line, record));
    if (!count) {
        out.push_back(report_untranslatable(ctx, record, "repeat count not translatable", Directive::repeat));
        return;
    }
    push_code(out, record, Directive::repeat, ".AREPEAT", std::move(*count));
}

// ENDM closes the innermost open block: a repeat block here, a macro in the common translation.
bool translate_block_end(Context& ctx, LineRecord& record, Translation& out) {
    std::vector<std::uint16_t>& blocks = ctx.pass2.open_blocks;
    const std::uint16_t block = blocks.empty() ? kw::MACRO : blocks.back();
    if (!blocks.empty()) blocks.pop_back();
    if (block == kw::MACRO) {
        // A macro defined inside a block with parameters of its own ends inside that block.
        out.push_back(directive_line(Directive::end_macro, {}, ".ENDM"));
        ctx.eval.in_macro_body = in_parameter_block(blocks);
        return true;
    }
    if (block == kw::REPT) {
        push_code(out, record, Directive::end_repeat, ".AENDR");
    } else if (block == kw::IRP || block == kw::IRPC) {
        push_code(out, record, Directive::end_repeat, ".AENDR");
        ctx.eval.in_macro_body = in_parameter_block(blocks);
    } else {
        out.push_back(report_untranslatable(ctx, record, "end of an IRP or IRPC block", Directive::end_repeat));
    }
    return true;
}

}  // namespace

bool translate_extended_directive(Context& ctx, LineRecord& record, std::string_view line, Translation& out) {
    switch (record.code) {
        case kw::MACRO: ctx.pass2.open_blocks.push_back(kw::MACRO); return false;
        case kw::ENDM: return translate_block_end(ctx, record, out);
        case kw::DC: translate_dc(ctx, record, line, out); return true;
        case kw::IF:
        case kw::IFF:
        case kw::IFDEF:
        case kw::IFNDEF: translate_condition(ctx, record, line, out); return true;
        case kw::IF1:
        case kw::IF2:
            // The target assembler has no condition on its pass: which lines the program keeps is
            // not decidable here.
            out.push_back(report_untranslatable(ctx, record, "IF1/IF2 have no H8/300 counterpart", Directive::if_true));
            return true;
        case kw::ELSE: push_code(out, record, Directive::if_else, ".AELSE"); return true;
        case kw::ENDIF: push_code(out, record, Directive::end_if, ".AENDI"); return true;
        case kw::REPT:
        case kw::IRP:
        case kw::IRPC: translate_repeat(ctx, record, line, out); return true;
        case kw::PHASE:
        case kw::DEPHASE:
            // Code placed here but run elsewhere: a section at the run address would also be loaded
            // there, which is a different program.
            out.push_back(report_untranslatable(ctx, record, ".PHASE/.DEPHASE have no H8/300 counterpart"));
            return true;
        case kw::PRINTX: {
            // A message at assembly time: kept as a comment.
            record.code = record.label_view().empty() ? line_code::comment : line_code::label_only;
            out.push_back(source_line_of(record));
            return true;
        }
        default: return false;
    }
}
