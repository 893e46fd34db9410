#include "translating/directives.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "expressions/evaluator.h"
#include "expressions/expression_rewriter.h"
#include "reading/classifier.h"
#include "reading/keywords.h"
#include "reading/text_scan.h"
#include "translating/extended_directives.h"
#include "translating/operands.h"

namespace {

constexpr std::size_t name_max = 51;   // NAME keeps this many characters
constexpr std::size_t title_max = 50;  // TITLE keeps this many between its quotes

}  // namespace

std::string_view operand_text(std::string_view line, const LineRecord& record) {
    line = before_nul(line);
    if (record.col1 == 0 || record.col1 >= line.size()) return {};
    return line.substr(record.col1);
}

namespace {

// One operand as evaluate_operand sees it: up to the first ',', '.', ';', newline or the end,
// without the white space around it.
std::string_view operand_body(std::string_view text) { return trim(text.substr(0, find_unquoted(text, ",.;\n"))); }

std::string hex_constant(std::uint16_t value) { return "H'" + hex_digits(value); }

OperandPieces number_pieces(std::uint16_t value, bool byte_wide = false) {
    return {{{PieceKind::number, hex_constant(value), value}}, byte_wide};
}

// The operand `text` rewritten into `line` (text, and pieces for the GNU syntax, the only one that
// writes from them); false when it cannot be rewritten.
bool rewrite_operand(Context& ctx, std::string_view text, OutputLine& line, bool* symbolic = nullptr) {
    std::vector<Piece>* pieces = ctx.settings.gas ? &line.pieces1.pieces : nullptr;
    return translate_expression(ctx.eval, ctx.data_names, text, line.operand1, symbolic, pieces) !=
           Rewrite::not_translatable;
}

// A section name that COFF keeps whole (8 characters) and that no symbol of the program can have.
bool is_short_section_name(std::string_view name) {
    if (name.empty() || name.size() > 7) return false;
    for (char ch : name) {
        if (!is_letter(ch) && !is_digit(ch) && ch != '_') return false;
    }
    return true;
}

bool section_known(const GasSections& sections, std::string_view name) {
    for (const GasSection& section : sections.sections) {
        if (section.name == name) return true;
    }
    return false;
}

// Opens (or goes back to) a section of the GNU output and returns its line.
OutputLine gas_section_line(GasSections& sections, std::string name, bool code, std::optional<std::uint16_t> address,
                            std::string mnemonic, std::string operand = {}) {
    if (address) {
        // Every fixed address gets a section of its own: GNU as cannot move backwards in one.
        std::string wanted = format_text(".A%X", *address);
        name = wanted;
        for (int n = 2; section_known(sections, name); ++n) {
            name = n < 100 ? format_text("%s_%d", wanted.c_str(), n) : format_text(".F%zu", sections.sections.size());
        }
    }
    if (!section_known(sections, name)) {
        sections.sections.push_back({name, code, address.has_value(), address.value_or(0)});
    }
    (code ? sections.code_section : sections.data_section) = name;
    OutputLine line = directive_line(Directive::section, {}, std::move(mnemonic), std::move(operand));
    line.section = std::move(name);
    line.code_section = code;
    return line;
}

// A line whose directive has no H8/300 counterpart keeps only its label (as a label-only line) or
// becomes a comment line.
OutputLine as_source_line(LineRecord& record) {
    record.code = record.label_view().empty() ? line_code::comment : line_code::label_only;
    return source_line_of(record);
}

// A directive that needs a value but has none: reading the operand from column 0 would take the
// line's own label and keyword as the expression.
OutputLine report_missing_operand(Context& ctx, LineRecord& record) {
    return report_operand_error(ctx, record, Outcome::malformed());
}

// Evaluates a 16-bit operand; false (after adding the error line to `out`) when it is missing or in
// error.
bool evaluate_address(Context& ctx, LineRecord& record, std::string_view operand, std::uint16_t& value,
                      Translation& out) {
    if (operand_body(operand).empty()) {
        out.push_back(report_missing_operand(ctx, record));
        return false;
    }
    const Evaluation evaluation = evaluate_operand(ctx.eval, ctx.data_names, operand, Width::word);
    if (!evaluation.ok()) {
        out.push_back(report_operand_error(ctx, record, evaluation.outcome));
        return false;
    }
    value = evaluation.value;
    return true;
}

void translate_section(Context& ctx, LineRecord& record, std::string_view line, Translation& out) {
    const bool data = record.code == kw::DSEG;
    ctx.pass2.data_section = data;
    std::string section = ".SECTION ";
    section += record.label_view().empty() ? std::string_view(data ? "RAM" : "ROM") : record.label_view();
    section += data ? ",DATA" : ",CODE";

    // Only the capital letters AT start an address clause: pass 2 reads the line as written.
    std::string_view operand = operand_text(line, record);
    std::optional<std::uint16_t> fixed;
    if (operand.size() > 2 && operand.starts_with("AT") && is_white_space(operand[2])) {
        std::uint16_t address = 0;
        if (!evaluate_address(ctx, record, skip_blanks(operand.substr(2)), address, out)) return;
        ctx.pass2.location_counter = address;
        section += ",LOCATE=" + hex_constant(address);
        fixed = address;
    }
    // A named segment is a section of that name; an unnamed one goes on where its kind was last.
    GasSections& sections = ctx.pass2.gas_sections;
    std::string name = data ? sections.data_section : sections.code_section;
    const std::string_view label = record.label_view();
    if (!label.empty()) {
        name.assign(1, '.');  // appended: GCC 12 at -O3 misreads a prepended copy as overlapping
        name.append(label);
        if (!is_short_section_name(label)) name = format_text(".S%zu", sections.sections.size() + 1);
    }
    out.push_back(gas_section_line(sections, name, !data, fixed, section));
}

void translate_org(Context& ctx, LineRecord& record, std::string_view line, Translation& out) {
    std::uint16_t address = 0;
    if (!evaluate_address(ctx, record, operand_text(line, record), address, out)) return;
    ctx.pass2.location_counter = address;
    const bool code = !ctx.pass2.data_section;
    OutputLine org = gas_section_line(ctx.pass2.gas_sections, {}, code, address, ".ORG", hex_constant(address));
    org.pieces1 = number_pieces(address);
    out.push_back(std::move(org));
}

// NAME EQU LABEL+1 (extended mode): a name for an address the assembler resolves. The name is
// written symbolically from here on, like the label it is made from. False when the operand is not
// such an expression.
bool equates_label(Context& ctx, const LineRecord& record, const std::string& name, std::string_view operand,
                   Translation& out) {
    if (operand_body(operand).empty()) return false;
    const Evaluation evaluation = evaluate_operand(ctx.eval, ctx.data_names, operand, Width::word);
    if (evaluation.outcome.status != EvalStatus::address_name) return false;
    OutputLine line;
    if (!rewrite_operand(ctx, operand, line)) return false;
    line.mnemonic = record.code == kw::EQU ? ".EQU" : ".ASSIGN";
    line.directive = record.code == kw::EQU ? Directive::equ : Directive::assign;
    line.label = name;
    address_name_put(ctx.data_names, name);
    out.push_back(std::move(line));
    return true;
}

// EQU, DEFL and DS: the label becomes a value name (for DS the address of the reserved block).
void translate_value_name(Context& ctx, LineRecord& record, std::string_view source_line, Translation& out) {
    const std::string name(record.label_view());
    const std::string_view operand = operand_text(source_line, record);
    if (record.code != kw::DS && !name.empty() && equates_label(ctx, record, name, operand, out)) return;
    std::uint16_t value = 0;
    if (!evaluate_address(ctx, record, operand, value, out)) return;

    OutputLine line;
    // Only the first operand counts: translation stops at a comma, so a DS fill value is dropped.
    if (!rewrite_operand(ctx, operand, line)) {
        line.operand1 = hex_constant(value);
        line.pieces1 = number_pieces(value);
    }
    std::uint16_t stored = value;
    if (record.code == kw::EQU) {
        line.mnemonic = ".EQU";
        line.directive = Directive::equ;
    } else if (record.code == kw::DEFL) {
        line.mnemonic = ".ASSIGN";
        line.directive = Directive::assign;
    } else {
        line.mnemonic = ".RES";
        line.directive = Directive::reserve;
        line.size = value;
        // GNU as (2.16) leaves the labels around a .space of a symbolic size out of its symbol
        // table; the size is known here.
        line.pieces1 = number_pieces(value);
        stored = ctx.pass2.location_counter;
        ctx.pass2.location_counter = static_cast<std::uint16_t>(ctx.pass2.location_counter + value);
    }
    if (record.code == kw::DS) {
        ctx.pass2.reserved_names.insert(name);
    } else {
        ctx.pass2.reserved_names.erase(name);
    }

    if (!name.empty()) {
        const DataNameEntry* entry = data_name_find(ctx.data_names, name);
        // DEFL exists to be assigned again; EQU and DS names should keep their value.
        if (record.code != kw::DEFL && entry != nullptr && entry->value != stored) {
            ctx.console.print("(%d) WARNING: EQU,DS redefine '%.12s'%04X->%04X\n", ctx.includes.line_count(),
                              name.c_str(), entry->value, stored);
            out.push_back(warning_line(Warning::redefinition));
        }
        data_name_put(ctx.data_names, ctx.console, name, stored, name_kind::value);
        line.label = name;
    }
    out.push_back(std::move(line));
}

// The .SDATA operand of a string item: the characters between the quotes in double quotes, a
// doubled delimiter read as one and every double quote written twice. False when text other than
// blanks follows the closing quote: the item is then an expression such as 'A'+80H. `body` is the
// item's operand_body.
bool string_operand(std::string_view body, std::string& out) {
    const char delimiter = body.front();
    out.reserve(body.size() + 2);
    out = '"';
    auto put = [&out](char ch) {
        out.push_back(ch);
        if (ch == '"') out.push_back(ch);
    };
    std::size_t i = 1;
    bool closed = false;
    while (i < body.size()) {
        const char ch = body[i];
        if (ch == delimiter && i + 1 < body.size() && body[i + 1] == delimiter) {
            put(ch);
            i += 2;
            continue;
        }
        // A quote of the other kind at the very end closes the constant too, as in 'AB".
        if (ch == delimiter || (is_quote(ch) && i + 1 == body.size())) {
            ++i;
            closed = true;
            break;
        }
        put(ch);
        ++i;
    }
    out.push_back('"');
    // Never closed ('A"+1): a value item, not a string that would swallow the rest.
    return closed && i == body.size();
}

// Where a plain string item closes: the position of its closing quote when the quote that opens it
// closes it, no quote, newline or NUL stands between them, and only blanks stand before ',', '.',
// ';', a newline or the item's end; npos for any other item. A plain string's characters are all
// those between its quotes, each written as it is.
std::size_t plain_string_close(std::string_view item) {
    std::size_t close = 1;
    while (close < item.size() && !is_quote(item[close]) && item[close] != '\n' && item[close] != '\0') ++close;
    if (close >= item.size() || item[close] != item.front()) return std::string_view::npos;
    std::size_t end = close + 1;
    while (end < item.size() && is_blank(item[end])) ++end;
    if (end < item.size() && item[end] != ',' && item[end] != '.' && item[end] != ';' && item[end] != '\n') {
        return std::string_view::npos;
    }
    return close;
}

void set_data_kind(OutputLine& line, Width width) {
    const bool byte = width == Width::byte;
    // Emptied and appended: every item asks, and a general assignment costs more.
    line.mnemonic.clear();
    line.mnemonic.append(byte ? std::string_view(".DATA.B") : std::string_view(".DATA.W"));
    line.directive = byte ? Directive::data_byte : Directive::data_word;
    line.size = byte ? 1 : 2;
    line.even = !byte;
    line.pieces1.byte_wide = byte;
}

// An item whose value is known: its rewritten expression (in `line` when `rewritten`), or the
// value when it has none.
void set_value_operand(Context& ctx, OutputLine& line, bool rewritten, bool symbolic, const Evaluation& value,
                       Width width) {
    set_data_kind(line, width);
    // A number too wide for its byte is written as the byte it leaves.
    if (!rewritten || (value.truncated && !symbolic)) {
        line.operand1 = hex_constant(value.value);
        if (ctx.settings.gas) line.pieces1.pieces = number_pieces(value.value).pieces;
    }
}

// A DW item as two bytes, low byte first, as the HD64180 keeps a word (--little-endian): a known
// value as its two bytes, an address the assembler relocates through LOW and HIGH. `line`, the
// item's line and the last of `out`, becomes the low byte's; the high byte's follows it.
void put_word_low_first(Context& ctx, OutputLine& line, std::string_view item, const Evaluation& value,
                        Translation& out) {
    bool symbolic = true;
    std::string expression;
    if (value.ok()) translate_expression(ctx.eval, ctx.data_names, item, expression, &symbolic);
    OutputLine high = code_line({}, ".DATA.B");
    set_data_kind(line, Width::byte);
    set_data_kind(high, Width::byte);
    if (!symbolic) {
        const auto low_byte = static_cast<std::uint16_t>(value.value & 0xFF);
        const auto high_byte = static_cast<std::uint16_t>(value.value >> 8);
        line.operand1 = hex_constant(low_byte);
        high.operand1 = hex_constant(high_byte);
        line.pieces1 = number_pieces(low_byte, true);
        high.pieces1 = number_pieces(high_byte, true);
    } else {
        const std::string operand = "(" + line.operand1 + ")";
        line.operand1 = "LOW " + operand;
        high.operand1 = "HIGH " + operand;
        std::vector<Piece> grouped = line.pieces1.pieces;
        grouped.insert(grouped.begin(), {PieceKind::open, "(", 0});
        grouped.push_back({PieceKind::close, ")", 0});
        line.pieces1.pieces = grouped;
        line.pieces1.pieces.insert(line.pieces1.pieces.begin(), {PieceKind::low, "LOW", 0});
        high.pieces1.pieces = grouped;
        high.pieces1.pieces.insert(high.pieces1.pieces.begin(), {PieceKind::high, "HIGH", 0});
    }
    out.push_back(std::move(high));
}

// How many characters a string item has, a doubled delimiter read as one: how many bytes it makes.
// `characters` (when given) receives them. `body` is the item's operand_body.
std::size_t string_characters(std::string_view body, std::string* characters = nullptr) {
    if (characters != nullptr) characters->reserve(body.size());
    std::size_t count = 0;
    for (std::size_t i = 1; i < body.size(); ++i) {
        const char ch = body[i];
        if (ch == body.front() && i + 1 < body.size() && body[i + 1] == ch) {
            ++i;
        } else if (ch == body.front() || (is_quote(ch) && i + 1 == body.size())) {
            break;
        }
        if (characters != nullptr) characters->push_back(ch);
        ++count;
    }
    return count;
}

void translate_radix(Context& ctx, const LineRecord& record, std::string_view line) {
    const std::string_view operand = operand_text(line, record);
    if (operand.empty() || operand.front() == '\n') {
        ctx.eval.default_radix = 'D';
        return;
    }
    // Read as a C decimal conversion reads it: white space, a sign, then digits (+8 is 8).
    std::size_t i = 0;
    while (i < operand.size() && is_white_space(operand[i])) ++i;
    bool negative = false;
    if (i < operand.size() && (operand[i] == '+' || operand[i] == '-')) negative = operand[i++] == '-';
    long value = 0;
    for (; i < operand.size() && is_digit(operand[i]); ++i) {
        if (value < 1000) value = value * 10 + (operand[i] - '0');  // anything larger is illegal anyway
    }
    if (negative) value = -value;
    char radix = 0;
    {
        switch (value) {
            case 2: radix = 'B'; break;
            case 8: radix = 'O'; break;
            case 10: radix = 'D'; break;
            case 16: radix = 'H'; break;
            default: break;
        }
    }
    if (radix == 0) {
        ctx.console.print("(%d) ERROR: illegal RADIX value\n", ctx.includes.line_count());
        return;
    }
    ctx.eval.default_radix = radix;
}

// The operand's characters up to the first blank, tab, newline or ';', at most `max` of them.
std::string first_word(std::string_view operand, std::size_t max) {
    std::string word;
    for (char ch : operand) {
        if (word.size() == max || ch == ' ' || ch == '\t' || ch == '\n' || ch == ';') break;
        word.push_back(ch);
    }
    return word;
}

}  // namespace

void translate_data_list(Context& ctx, LineRecord& record, std::string_view items, Width width, Translation& out) {
    if (items.empty() || items.front() == '\n' || items.front() == ';') {
        out.push_back(report_missing_operand(ctx, record));
        return;
    }
    const std::string label(record.label_view());
    const std::uint16_t error_code = in_error(record.code);
    std::size_t position = 0;
    for (int i = 1;; ++i) {
        const std::string_view item = items.substr(position);
        const bool first = i == 1;
        const bool quoted = !item.empty() && is_quote(item.front());
        // The item's line is made where it will stay, and replaced when the item is written
        // otherwise.
        OutputLine& line = out.emplace_back();
        if (first) line.label = label;
        // An item that is not a string is evaluated and rewritten at once (the rewrite is used
        // only where it is written); a string is evaluated, and rewritten only when it is no
        // string after all.
        Evaluation evaluation;
        bool rewritten = false;
        bool symbolic = false;
        const std::size_t plain_close = quoted ? plain_string_close(item) : std::string_view::npos;
        if (plain_close != std::string_view::npos) {
            // A plain string is a well-formed constant to the evaluator, which is asked nothing but
            // where the next item starts.
            std::size_t end = plain_close + 1;
            while (end < item.size() && is_blank(item[end])) ++end;
            evaluation.next = next_item_at(item, end);
        } else if (quoted) {
            evaluation = evaluate_operand(ctx.eval, ctx.data_names, item, width);
        } else {
            rewritten =
                evaluate_and_rewrite(ctx.eval, ctx.data_names, item, width, evaluation, line.operand1, &symbolic,
                                     ctx.settings.gas ? &line.pieces1.pieces : nullptr) != Rewrite::not_translatable;
        }
        const std::optional<std::size_t> next = evaluation.next;
        // The item as written, without the blanks around it: looked for only where it is needed.
        const std::string_view body = !quoted                                 ? std::string_view{}
                                      : plain_close != std::string_view::npos ? item.substr(0, plain_close + 1)
                                                                              : operand_body(item);
        // An empty item (DB 1,,2 or a trailing comma) would otherwise be a silent zero. One that
        // starts with a quote, a name or a number is not.
        const bool empty = item.empty() || (!quoted && !is_name_start(item.front()) && operand_body(item).empty());
        // A string that never closes ('ABC,1) swallows the rest of the line: nothing after it is
        // data. ('AB" closed by the other quote is a constant of its own.)
        const bool unclosed = quoted && !evaluation.ok() && !opens_quoted_string(item, 0);

        bool written = true;
        if (evaluation.ok() && !empty) {
            if (plain_close != std::string_view::npos) {
                // Its characters between double quotes, copied whole: none of them is a quote.
                const std::string_view characters = body.substr(1, plain_close - 1);
                // The line is new: its texts are appended to, which costs less than an assignment.
                line.mnemonic.append(".SDATA");
                line.directive = Directive::string;
                line.operand1.reserve(characters.size() + 2);
                line.operand1.push_back('"');
                line.operand1 += characters;
                line.operand1 += '"';
                line.size = static_cast<std::uint16_t>(characters.size());
                if (ctx.settings.gas) line.pieces1.pieces = {{PieceKind::string, std::string(characters), 0}};
            } else if (quoted && string_operand(body, line.operand1)) {
                line.mnemonic = ".SDATA";
                line.directive = Directive::string;
                if (ctx.settings.gas) {
                    std::string characters;
                    line.size = static_cast<std::uint16_t>(string_characters(body, &characters));
                    line.pieces1.pieces = {{PieceKind::string, std::move(characters), 0}};
                } else {
                    line.size = static_cast<std::uint16_t>(string_characters(body));
                }
            } else {
                if (quoted) rewritten = rewrite_operand(ctx, item, line, &symbolic);
                set_value_operand(ctx, line, rewritten, symbolic, evaluation, width);
            }
        } else if ((evaluation.outcome.status == EvalStatus::undefined_name ||
                    evaluation.outcome.status == EvalStatus::address_name) &&
                   (quoted ? rewrite_operand(ctx, item, line) : rewritten)) {
            // A name unknown here (a code label, an external, a later EQU) is written symbolically.
            // A malformed item is not: its text, such as (1, would reach the output unreported.
            set_data_kind(line, width);
        } else {
            written = false;
        }
        // GNU as would compute HIGH, LOW or the negation of a name it places as 0.
        if (written && ctx.settings.gas && gas_cannot_hold(ctx, line.pieces1.pieces)) written = false;

        const bool low_first =
            written && width == Width::word && ctx.settings.little_endian && line.mnemonic == ".DATA.W";
        // Its two bytes are LOW and HIGH of the word, which GNU as gives as 0 for a name it places.
        if (low_first && ctx.settings.gas &&
            std::any_of(line.pieces1.pieces.begin(), line.pieces1.pieces.end(),
                        [&ctx](const Piece& piece) { return gas_places(ctx, piece); })) {
            written = false;
        }
        if (written && low_first) {
            put_word_low_first(ctx, line, item, evaluation, out);
        } else if (!written) {
            record.code = error_code;
            ctx.console.print("(%d) ERROR: illegal DB/DW operand\n", ctx.includes.line_count());
            if (!first) record.set_label({});
            line = source_line_of(record);
        }
        if (unclosed || !next || *next == 0 || *next > item.size()) break;
        position += *next;
    }
}

void translate_name_list(Context& ctx, LineRecord& record, std::string_view source_line, OutputLine& line) {
    const std::uint16_t code = record.code;
    // The list is made where it stays.
    std::string& list = line.operand1;
    std::vector<Piece>& pieces = line.pieces1.pieces;
    if (code == kw::MACRO) {
        // The label names the macro; its parameters are names being defined, not references, so
        // they get no backslash even in a definition nested in another.
        list.append(record.label_view());
        list.push_back(' ');
        if (ctx.settings.gas) pieces.push_back({PieceKind::text, list, 0});
        ctx.eval.in_macro_body = false;
    } else {
        line.label.append(record.label_view());
    }

    const std::string_view operand = operand_text(source_line, record);
    std::size_t position = 0;
    // Each item in turn, rewritten afresh into the room the one before left.
    std::string text;
    std::vector<Piece> item_pieces;
    while (!operand.empty()) {
        const std::string_view item = skip_blanks(operand.substr(position));
        // Names and macro arguments are addresses or values of any size: numbers in them keep 16 bits.
        // Only the GNU syntax writes from the pieces.
        if (translate_expression(ctx.eval, ctx.data_names, item, text, nullptr,
                                 ctx.settings.gas ? &item_pieces : nullptr) != Rewrite::not_translatable) {
            if (code == kw::EXTRN) {
                data_name_put(ctx.data_names, ctx.console, text, 0, name_kind::external);
            } else if (code == kw::MACRO) {
                data_name_put(ctx.data_names, ctx.console, text, 0, name_kind::macro_parameter);
            } else if (code == line_code::macro_call) {
                std::uint8_t reg = 0;
                if (text.size() == 1) reg = reg8_code(text);
                if (text.size() == 2) reg = reg16_code(text);
                if (reg != 0) {
                    ctx.console.print("(%d) ERROR: cannot use register for macro parameters\n",
                                      ctx.includes.line_count());
                    (void)h8_register_name(ctx.console, text, reg);
                    if (ctx.settings.gas) item_pieces = {{PieceKind::text, text, 0}};
                }
            }
            if (code == kw::MACRO) {
                for (Piece& piece : item_pieces) {
                    if (piece.kind == PieceKind::name) piece.kind = PieceKind::parameter_name;
                }
            }
            list += text;
            list += ',';
            if (ctx.settings.gas) {
                pieces.insert(pieces.end(), item_pieces.begin(), item_pieces.end());
                pieces.push_back({PieceKind::text, ",", 0});
            }
        } else {
            ctx.console.print("(%d) ERROR: illegal PUBLIC/EXTRN/MACRO operand\n", ctx.includes.line_count());
        }
        const std::size_t stop = find_unquoted(item, ",;\n");
        if (stop == std::string_view::npos || item[stop] != ',') break;
        position = static_cast<std::size_t>(item.data() - operand.data()) + stop + 1;
    }
    if (!list.empty() && list.back() == ',') list.pop_back();
    if (!pieces.empty() && pieces.back().kind == PieceKind::text && pieces.back().text == ",") pieces.pop_back();

    if (code == kw::PUBLIC) {
        line.mnemonic = ".EXPORT";
        line.directive = Directive::export_names;
    } else if (code == kw::EXTRN) {
        line.mnemonic = ".IMPORT";
        line.directive = Directive::import_names;
    } else if (code == kw::MACRO) {
        line.mnemonic = ".MACRO";
        line.directive = Directive::macro;
    } else {
        line.directive = Directive::macro_call;
        if (std::size_t index = macro_index(record); index < ctx.macro_names.names.size()) {
            line.mnemonic.append(significant_name(ctx.macro_names.names[index]));
        }
    }
}

void translate_directive(Context& ctx, LineRecord& record, std::string_view line, Translation& out) {
    if (ctx.settings.extended && translate_extended_directive(ctx, record, line, out)) return;
    switch (record.code) {
        case kw::LIST: out.push_back(directive_line(Directive::list, {}, ".LIST")); break;
        case kw::NLIST: out.push_back(directive_line(Directive::nolist, {}, ".NOLIST")); break;
        case kw::PAGE: out.push_back(directive_line(Directive::page, {}, ".PAGE")); break;
        case kw::END: out.push_back(directive_line(Directive::end, {}, ".END")); break;
        case kw::ENDM:
            ctx.eval.in_macro_body = false;
            out.push_back(directive_line(Directive::end_macro, {}, ".ENDM"));
            break;
        case kw::CSEG:
        case kw::DSEG: translate_section(ctx, record, line, out); break;
        case kw::ORG: translate_org(ctx, record, line, out); break;
        case kw::EQU:
        case kw::DEFL:
        case kw::DS: translate_value_name(ctx, record, line, out); break;
        case kw::DB: translate_data_list(ctx, record, operand_text(line, record), Width::byte, out); break;
        case kw::DW: translate_data_list(ctx, record, operand_text(line, record), Width::word, out); break;
        case kw::PUBLIC:
        case kw::EXTRN:
        case kw::MACRO:
        case line_code::macro_call:
            translate_name_list(ctx, record, line, out.emplace_back());
            if (record.code == kw::MACRO) ctx.eval.in_macro_body = true;
            break;
        case kw::RADIX:
            translate_radix(ctx, record, line);
            out.push_back(as_source_line(record));
            break;
        case kw::NAME:
            out.push_back(
                directive_line(Directive::program, {}, ".PROGRAM", first_word(operand_text(line, record), name_max)));
            break;
        case kw::TITLE:
            out.push_back(directive_line(Directive::heading, {}, ".HEADING",
                                         '"' + first_word(operand_text(line, record), title_max) + '"'));
            break;
        default: out.push_back(as_source_line(record)); break;  // ASEG, SUBTTL, INCLUDE, MACLIB
    }
}
