#include "translating/operands.h"

#include <algorithm>
#include <array>
#include <bit>
#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "expressions/evaluator.h"
#include "expressions/expression_rewriter.h"
#include "reading/keywords.h"
#include "reading/text_scan.h"

namespace {

struct RegisterName {
    std::uint8_t code;
    std::string_view name;
};

// Every register code that has an H8/300 name; any other code is a register error.
constexpr std::array<RegisterName, 28> register_names{{
    {reg::A, "R0H"},
    {reg::F, "CCR"},
    {reg::B, "R1H"},
    {reg::C, "R1L"},
    {reg::D, "R2H"},
    {reg::E, "R2L"},
    {reg::H, "R3H"},
    {reg::L, "R3L"},
    {reg::AF, "R0"},
    {reg::BC, "R1"},
    {reg::DE, "R2"},
    {reg::HL, "R3"},
    {reg::IX, "R4"},
    {reg::IY, "R5"},
    {reg::SP, "SP"},
    {reg::indirect(reg::BC), "@R1"},
    {reg::indirect(reg::DE), "@R2"},
    {reg::indirect(reg::HL), "@R3"},
    {reg::indirect(reg::IX), "@R4"},
    {reg::indirect(reg::IY), "@R5"},
    {reg::indirect(reg::SP), "@SP"},
    {reg::sp_as_general, "R7"},
    {reg::predecrement(reg::indirect(reg::BC)), "@-R1"},
    {reg::predecrement(reg::indirect(reg::DE)), "@-R2"},
    {reg::predecrement(reg::indirect(reg::HL)), "@-R3"},
    {reg::postincrement(reg::indirect(reg::BC)), "@R1+"},
    {reg::postincrement(reg::indirect(reg::DE)), "@R2+"},
    {reg::postincrement(reg::indirect(reg::HL)), "@R3+"},
}};

// What parenthesised_text looks for: the three stops, the quotes and ')'. Any other character is
// passed with one look at this table.
constexpr std::array<bool, 256> parenthesis_scan_marks = [] {
    std::array<bool, 256> marks{};
    for (char ch : std::string_view(",;\n'\")")) marks[static_cast<unsigned char>(ch)] = true;
    return marks;
}();

// The address or displacement at the start of `text`: up to the last ')' before the first ',',
// ';' or newline (the whole operand when no ')' stands there).
std::string_view parenthesised_text(std::string_view text) {
#if defined(__SSE2__)
    // Most operands show their first stop within sixteen bytes, with no quote before it: then the
    // marks are found for all sixteen at once, and the last ')' before the stop is the highest of
    // its bits there.
    if (text.size() >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data()));
        const auto bits_of = [&bytes](char ch) {
            return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(ch))));
        };
        const unsigned stops = bits_of(',') | bits_of(';') | bits_of('\n');
        if (stops != 0) {
            const unsigned before_stop = (1u << std::countr_zero(stops)) - 1;
            if (((bits_of('\'') | bits_of('"')) & before_stop) == 0) {
                const unsigned closes = bits_of(')') & before_stop;
                return text.substr(
                    0, static_cast<std::size_t>(closes != 0 ? std::bit_width(closes) - 1 : std::countr_zero(stops)));
            }
        }
    }
#endif
    // find_unquoted(text, ",;\n") written out for its three stops, noting the last ')' on the way:
    // the closing quote of a string is found before the line ends.
    std::size_t end = 0;
    std::size_t close = std::string_view::npos;
    for (; end < text.size(); ++end) {
        const char ch = text[end];
        if (!parenthesis_scan_marks[static_cast<unsigned char>(ch)]) continue;
        if (ch == ',' || ch == ';' || ch == '\n') break;
        if (ch == ')') {
            close = end;
        } else if (opens_quoted_string(text, end)) {
            // A string is passed whole, though a ')' inside it counts as any other.
            const std::size_t closing = text.find(ch, end + 1);
            for (std::size_t k = end + 1; k < closing; ++k) {
                if (text[k] == ')') close = k;
            }
            end = closing;
        }
    }
    return text.substr(0, close == std::string_view::npos ? end : close);
}

// Keeps the first operand failure of a line, so that later operands cannot hide it.
void note_failure(Outcome& first, const Outcome& failure) {
    if (first.ok()) first = failure;
}

// The rest of put_value where the rewritten text is not what it keeps: the operand failed, or it
// is written as its value.
[[gnu::noinline]] bool put_number_or_fail(std::string& slot, std::string_view prefix, const Evaluation& value,
                                          Outcome& first) {
    slot.resize(prefix.size());
    if (!value.ok()) {
        note_failure(first, value.outcome);
        return false;
    }
    // Nothing to write (LD A, with no value, or an empty pair of parentheses): a bare "#H'" would
    // reach the H8/300 source unreported.
    if (!value.has_value) {
        note_failure(first, Outcome::malformed());
        return false;
    }
    slot += "H'";
    append_hex_digits(slot, value.value);
    return true;
}

// put_value in the GNU syntax, the only one that writes from the pieces: the rewritten operand as
// pieces too, and the operands GNU as would compute wrongly failed.
bool put_value_and_pieces(Context& ctx, std::string& slot, OperandPieces& pieces, std::string_view prefix,
                          std::string_view text, Width width, bool tolerate_undefined, Evaluation& value,
                          Outcome& first, bool* kept_name) {
    // The rewritten expression is written straight after the prefix and taken back when the value
    // is written instead. The slot is emptied and the prefix (one or two characters) appended: the
    // slot keeps its room from line to line, and a general assignment costs more than the append.
    slot.clear();
    slot.append(prefix);
    std::vector<Piece> translated_pieces;
    bool symbolic = false;
    const Rewrite rewrite =
        evaluate_and_rewrite(ctx.eval, ctx.data_names, text, width, value, slot, &symbolic, &translated_pieces);
    if (kept_name != nullptr) *kept_name = symbolic;
    pieces.pieces.assign(1, Piece{PieceKind::text, std::string(prefix), 0});
    auto fail = [&](const Outcome& failure) {
        slot.resize(prefix.size());
        note_failure(first, failure);
        return false;
    };
    auto keep_symbolic = [&]() {
        // GNU as computes a negated name, or HIGH/LOW of one, as 0 when the linker places it.
        if (gas_cannot_hold(ctx, translated_pieces)) return fail(Outcome::malformed());
        pieces.pieces.insert(pieces.pieces.end(), translated_pieces.begin(), translated_pieces.end());
        return true;
    };
    if (!value.ok()) {
        // A label (extended mode) is always the assembler's to resolve; an undefined name only
        // where the caller allows it.
        const bool kept_symbolic = value.outcome.status == EvalStatus::address_name ||
                                   (tolerate_undefined && value.outcome.status == EvalStatus::undefined_name);
        if (kept_symbolic && rewrite != Rewrite::not_translatable) return keep_symbolic();
        return put_number_or_fail(slot, prefix, value, first);
    }
    // A number too wide for its byte is written as the byte it leaves; an expression that keeps a
    // name is the assembler's to compute (GNU as refuses one too wide for its byte).
    if (rewrite != Rewrite::not_translatable && (symbolic || !value.truncated)) {
        if (value.truncated) return fail(Outcome::malformed());
        return keep_symbolic();
    }
    if (!put_number_or_fail(slot, prefix, value, first)) return false;
    pieces.pieces.push_back({PieceKind::number, slot.substr(prefix.size()), value.value});
    return true;
}

// Writes `prefix` and the operand into `slot` (and as pieces into `pieces`): the rewritten
// expression when the rewriter can rewrite it, otherwise the evaluated value, which `value`
// receives. An undefined name fails the operand unless `tolerate_undefined` and the expression can
// be kept symbolic. False when the operand failed, noted in `first`. `kept_name` (when given) tells
// whether the rewritten expression keeps a name. Inline in each renderer: the path most operands
// take is short, and passing its ten arguments cost more than its own work.
[[gnu::always_inline]] inline bool put_value(Context& ctx, std::string& slot, OperandPieces& pieces,
                                             std::string_view prefix, std::string_view text, Width width,
                                             bool tolerate_undefined, Evaluation& value, Outcome& first,
                                             bool* kept_name = nullptr) {
    if (ctx.settings.gas) {
        return put_value_and_pieces(ctx, slot, pieces, prefix, text, width, tolerate_undefined, value, first,
                                    kept_name);
    }
    // The rewritten expression is written straight after the prefix and taken back when the value
    // is written instead. The slot is emptied and the prefix (one or two characters) appended: the
    // slot keeps its room from line to line, and a general assignment costs more than the append.
    slot.clear();
    slot.append(prefix);
    bool symbolic = false;
    const Rewrite rewrite = evaluate_and_rewrite(ctx.eval, ctx.data_names, text, width, value, slot, &symbolic);
    if (kept_name != nullptr) *kept_name = symbolic;
    // The rewritten text stays where the value is known and fits (a number too wide for its byte is
    // written as the byte it leaves; an expression that keeps a name is the assembler's to compute),
    // and where the name not known here is a label (extended mode), always the assembler's to
    // resolve, or an undefined name the caller allows.
    if (rewrite != Rewrite::not_translatable) {
        const EvalStatus status = value.outcome.status;
        if (status == EvalStatus::ok
                ? symbolic || !value.truncated
                : status == EvalStatus::address_name || (tolerate_undefined && status == EvalStatus::undefined_name)) {
            return true;
        }
    }
    return put_number_or_fail(slot, prefix, value, first);
}

// The names by register code, for a lookup without a search; empty for a code without a name.
constexpr std::array<std::string_view, 256> build_names_by_code() {
    std::array<std::string_view, 256> names{};
    for (const RegisterName& entry : register_names) names[entry.code] = entry.name;
    return names;
}

constexpr std::array<std::string_view, 256> names_by_code = build_names_by_code();

constexpr bool register_codes_unique() {
    for (std::size_t i = 0; i < register_names.size(); ++i) {
        for (std::size_t k = i + 1; k < register_names.size(); ++k) {
            if (register_names[i].code == register_names[k].code) return false;
        }
    }
    return true;
}
static_assert(register_codes_unique(), "one name per register code");

// The H8/300 name of a register code, or nothing (after printing "register error").
std::string_view register_name(Console& console, std::uint8_t code) {
    if (code != 0 && !names_by_code[code].empty()) return names_by_code[code];
    console.print("register error %X\n", code);
    return {};
}

// The slot of a register that has a name; false for one without, which the general rendering
// reports.
bool named_register(std::string_view& slot, std::uint8_t code) {
    const std::string_view name = names_by_code[code];
    if (code == 0 || name.empty()) return false;
    slot = name;
    return true;
}

// A register without a name: "register error" printed, and an illegal operand noted.
[[gnu::noinline]] void report_register_error(Context& ctx, Outcome& first, std::uint8_t code) {
    (void)register_name(ctx.console, code);
    note_failure(first, Outcome::malformed());
}

// A register without a name fails as an illegal operand (no undefined name to report). Most have
// one, found here without a call.
inline void render_register(Context& ctx, Outcome& first, std::string_view& slot, std::uint8_t code) {
    if (!named_register(slot, code)) report_register_error(ctx, first, code);
}

// Every register name with "H" and with "L" appended, in the order of `register_names`: the
// halves of a pair are made once, not per line.
struct HalfNames {
    std::array<char, 6> high{};
    std::array<char, 6> low{};
    std::size_t size = 0;
};

constexpr std::array<HalfNames, register_names.size()> build_half_names() {
    std::array<HalfNames, register_names.size()> halves{};
    for (std::size_t i = 0; i < register_names.size(); ++i) {
        const std::string_view name = register_names[i].name;
        for (std::size_t k = 0; k < name.size(); ++k) halves[i].high[k] = halves[i].low[k] = name[k];
        halves[i].high[name.size()] = 'H';
        halves[i].low[name.size()] = 'L';
        halves[i].size = name.size() + 1;
    }
    return halves;
}

constexpr std::array<HalfNames, register_names.size()> half_names = build_half_names();

// {regH}/{regL}: the pair's name with "H" or "L" appended; SP counts as R7 here.
void render_byte_halves(Context& ctx, Outcome& first, std::string_view* high, std::string_view* low,
                        std::uint8_t code) {
    std::string_view name;
    render_register(ctx, first, name, code == reg::SP ? reg::sp_as_general : code);
    for (std::size_t i = 0; i < register_names.size(); ++i) {
        if (register_names[i].name != name) continue;
        if (high != nullptr) *high = std::string_view(half_names[i].high.data(), half_names[i].size);
        if (low != nullptr) *low = std::string_view(half_names[i].low.data(), half_names[i].size);
        return;
    }
    // No name: the line fails, and its halves are never written.
    if (high != nullptr) *high = "H";
    if (low != nullptr) *low = "L";
}

}  // namespace

bool h8_register_name(Console& console, std::string& slot, std::uint8_t code) {
    const std::string_view name = register_name(console, code);
    if (name.empty()) return false;
    slot = name;
    return true;
}

namespace {

// The renderers below as render_all_operands calls them: each writes its slot and pieces, and
// notes a failure in the line's `first` (unless an earlier one is there), telling by its result
// whether the operand was rendered. `value` is room for the operand's evaluation.

bool put_immediate(Context& ctx, std::string_view text, Width width, std::string& imm, OperandPieces& pieces,
                   Evaluation& value, Outcome& first) {
    pieces.byte_wide = width == Width::byte;
    return put_value(ctx, imm, pieces, "#", text, width, width == Width::word, value, first);
}

bool put_direct(Context& ctx, std::string_view text, Width width, bool tolerate_undefined, std::string& mem,
                OperandPieces& pieces, Evaluation& value, Outcome& first) {
    return put_value(ctx, mem, pieces, "@", parenthesised_text(text), width, tolerate_undefined, value, first);
}

bool put_indexed(Context& ctx, std::string_view text, std::uint8_t index_register, std::string& mem,
                 OperandPieces* pieces, Evaluation& value, Outcome& first) {
    const std::string_view displacement_text = parenthesised_text(text);
    // The displacement is written straight after "@(" (and its pieces after a piece of that text).
    constexpr std::string_view opening = "@(";
    OperandPieces parts;
    parts.byte_wide = true;
    bool symbolic = false;
    if (!put_value(ctx, mem, parts, opening, displacement_text, Width::byte, false, value, first, &symbolic)) {
        return false;
    }
    // The HD64180 reads a displacement as a signed byte: 80H to FFH address below the register,
    // and (IX-d) reaches down to -128. A symbolic displacement is the assembler's to compute.
    if (!symbolic && value.has_value) {
        if (skip_blanks(displacement_text).starts_with('-')) {
            const std::uint16_t wide = evaluate_operand(ctx.eval, ctx.data_names, displacement_text, Width::word).value;
            if (wide != 0 && wide < 0xFF80) {
                note_failure(first, Outcome::malformed());
                return false;
            }
        }
        if (value.value >= 0x80) {
            const auto magnitude = static_cast<std::uint16_t>(0x100 - value.value);
            mem.resize(opening.size());
            mem += "-H'";
            append_hex_digits(mem, magnitude);
            if (ctx.settings.gas) {
                parts.pieces = {{PieceKind::text, std::string(opening), 0},
                                {PieceKind::unary, "-", 0},
                                {PieceKind::number, mem.substr(opening.size() + 1), magnitude}};
            }
        }
    }
    // The displacement evaluated cleanly; a failure now is the register's.
    const std::string_view index_name = register_name(ctx.console, index_register);
    if (index_name.empty()) {
        note_failure(first, Outcome::malformed());
        return false;
    }
    // ",R4)" made on the stack and appended at once.
    std::array<char, 8> tail{','};
    index_name.copy(tail.data() + 1, tail.size() - 2);
    const std::size_t tail_size = std::min(index_name.size(), tail.size() - 2) + 2;
    tail[tail_size - 1] = ')';
    mem.append(tail.data(), tail_size);
    // Only the GNU syntax writes from the pieces.
    if (pieces != nullptr && ctx.settings.gas) {
        pieces->pieces = std::move(parts.pieces);
        // Appended, not "," + name: GCC 12 at -O3 reports a false overlap in that concatenation.
        std::string tail(",");
        tail += index_name;
        tail += ')';
        pieces->pieces.push_back({PieceKind::text, std::move(tail), 0});
        pieces->byte_wide = true;
    }
    return true;
}

bool put_bit_number(Context& ctx, std::string_view text, std::string& bit, OperandPieces& pieces, Evaluation& value,
                    Outcome& first) {
    pieces.byte_wide = true;
    if (!put_value(ctx, bit, pieces, "#", text, Width::byte, false, value, first)) return false;
    // The H8/300 has bits 0 to 7; GNU as refuses any other number.
    if (ctx.settings.gas && value.value > 7) {
        note_failure(first, Outcome::malformed());
        return false;
    }
    // The H8/300 reads a lone decimal digit as the same number: #3 rather than #H'3.
    if (bit.size() == 4 && bit.compare(1, 2, "H'") == 0 && bit[3] >= '0' && bit[3] <= '9') bit.erase(1, 2);
    return true;
}

}  // namespace

Outcome render_immediate(Context& ctx, std::string_view text, Width width, std::string& imm, OperandPieces* pieces) {
    Evaluation value;
    OperandPieces unused;
    Outcome outcome;
    put_immediate(ctx, text, width, imm, pieces != nullptr ? *pieces : unused, value, outcome);
    return outcome;
}

Outcome render_direct(Context& ctx, std::string_view text, Width width, bool tolerate_undefined, std::string& mem,
                      OperandPieces* pieces) {
    Evaluation value;
    OperandPieces unused;
    Outcome outcome;
    put_direct(ctx, text, width, tolerate_undefined, mem, pieces != nullptr ? *pieces : unused, value, outcome);
    return outcome;
}

Outcome render_indexed(Context& ctx, std::string_view text, std::uint8_t index_register, std::string& mem,
                       OperandPieces* pieces) {
    Evaluation value;
    Outcome outcome;
    put_indexed(ctx, text, index_register, mem, pieces, value, outcome);
    return outcome;
}

Outcome render_bit_number(Context& ctx, std::string_view text, std::string& bit, OperandPieces* pieces) {
    Evaluation value;
    OperandPieces unused;
    Outcome outcome;
    put_bit_number(ctx, text, bit, pieces != nullptr ? *pieces : unused, value, outcome);
    return outcome;
}

namespace {

// What the forms that name registers only, or nothing, have in their slots; `other` for the forms
// left to the general rendering.
enum class RegisterSlots : std::uint8_t { other, none, one, two, pair, pair_pair };

// By form, so that the kind is found with one look: every instruction line asks.
constexpr std::array<RegisterSlots, 256> register_slots_by_form = [] {
    std::array<RegisterSlots, 256> kinds{};
    const auto set = [&kinds](std::initializer_list<Form> forms, RegisterSlots kind) {
        for (Form form : forms) kinds[static_cast<std::uint8_t>(form)] = kind;
    };
    set({Form::reg_reg, Form::reg_indirect, Form::reg_postinc, Form::indirect_reg, Form::predec_reg,
         Form::indirect_pair},
        RegisterSlots::two);
    set({Form::reg, Form::indirect, Form::pair_twice}, RegisterSlots::one);
    set({Form::pair}, RegisterSlots::pair);
    set({Form::pair_pair}, RegisterSlots::pair_pair);
    // No operand slots; branch targets are rendered with the branch.
    set({Form::none, Form::af, Form::always, Form::cond_c, Form::cond_nc, Form::cond_z, Form::cond_nz, Form::cond_po,
         Form::cond_pe, Form::cond_p, Form::cond_m, Form::nz_and_nc, Form::z_or_c, Form::po_after_transfer,
         Form::pe_after_transfer, Form::po_after_compare, Form::pe_after_compare, Form::after_subtraction,
         Form::illegal_branch},
        RegisterSlots::none);
    return kinds;
}();

// Most instruction lines name registers only, or nothing: their slots are filled here, without the
// frame of the general rendering. False for any other form, or a register without a name (both left
// to the general rendering, which a form added later also reaches).
bool render_registers_only(const LineRecord& record, OperandSlots& slots) {
    switch (register_slots_by_form[static_cast<std::uint8_t>(record.form)]) {
        case RegisterSlots::two:
            return named_register(slots.reg1, record.reg1) && named_register(slots.reg2, record.reg2);
        case RegisterSlots::one: return named_register(slots.reg1, record.reg1);
        case RegisterSlots::pair: return record.code != kw::MLT && named_register(slots.reg1, record.reg1);
        case RegisterSlots::pair_pair:
            return record.code != kw::ADC && record.code != kw::SBC && named_register(slots.reg1, record.reg1) &&
                   named_register(slots.reg2, record.reg2);
        case RegisterSlots::none: return true;
        case RegisterSlots::other: break;
    }
    return false;
}

}  // namespace

bool render_operands(Context& ctx, LineRecord& record, std::string_view line, OperandSlots& slots, Translation& out) {
    if (render_registers_only(record, slots)) return true;
    return render_all_operands(ctx, record, line, slots, out);
}

bool render_all_operands(Context& ctx, LineRecord& record, std::string_view line, OperandSlots& slots,
                         Translation& out) {
    const std::string_view src = text_at(line, record.col1);
    const std::string_view src2 = text_at(line, record.col2);
    Outcome first;
    Evaluation value;  // room for each operand's evaluation in turn
    auto reg1 = [&] { render_register(ctx, first, slots.reg1, record.reg1); };
    auto reg2 = [&] { render_register(ctx, first, slots.reg2, record.reg2); };

    switch (record.form) {
        case Form::reg_imm:
            reg1();
            put_immediate(ctx, src, Width::byte, slots.imm, slots.imm_pieces, value, first);
            break;
        case Form::reg_reg:
        case Form::reg_indirect:
        case Form::reg_postinc:
        case Form::indirect_reg:
        case Form::predec_reg:
        case Form::indirect_pair:
            reg1();
            reg2();
            break;
        case Form::reg_mem:
        case Form::pair_mem:
            reg1();
            put_direct(ctx, src, Width::word, true, slots.mem, slots.mem_pieces, value, first);
            break;
        case Form::reg_indexed:
            reg1();
            put_indexed(ctx, src, record.reg2, slots.mem, &slots.mem_pieces, value, first);
            break;
        case Form::mem_reg:
        case Form::mem_pair:
            reg2();
            put_direct(ctx, src, Width::word, false, slots.mem, slots.mem_pieces, value, first);
            break;
        case Form::pair_mem_le:
        case Form::sp_mem_le:
            if (record.form == Form::pair_mem_le)
                render_byte_halves(ctx, first, &slots.reg1H, &slots.reg1L, record.reg1);
            put_direct(ctx, src, Width::word, true, slots.mem, slots.mem_pieces, value, first);
            slots.mem_next = slots.mem + "+1";
            break;
        case Form::mem_pair_le:
        case Form::mem_sp_le:
            if (record.form == Form::mem_pair_le)
                render_byte_halves(ctx, first, &slots.reg2H, &slots.reg2L, record.reg2);
            put_direct(ctx, src, Width::word, false, slots.mem, slots.mem_pieces, value, first);
            slots.mem_next = slots.mem + "+1";
            break;
        case Form::indexed_reg:
            reg2();
            put_indexed(ctx, src, record.reg1, slots.mem, &slots.mem_pieces, value, first);
            break;
        case Form::indirect_imm:
            reg1();
            put_immediate(ctx, src2, Width::byte, slots.imm, slots.imm_pieces, value, first);
            break;
        case Form::indexed_imm:
            put_indexed(ctx, src, record.reg1, slots.mem, &slots.mem_pieces, value, first);
            put_immediate(ctx, src2, Width::byte, slots.imm, slots.imm_pieces, value, first);
            break;
        case Form::reg:
        case Form::indirect:
        case Form::pair_twice: reg1(); break;
        case Form::imm: put_immediate(ctx, src, Width::byte, slots.imm, slots.imm_pieces, value, first); break;
        case Form::mem: put_direct(ctx, src, Width::word, true, slots.mem, slots.mem_pieces, value, first); break;
        case Form::indexed: put_indexed(ctx, src, record.reg1, slots.mem, &slots.mem_pieces, value, first); break;
        case Form::pair:
            reg1();
            if (record.code == kw::MLT) render_byte_halves(ctx, first, &slots.reg1H, nullptr, record.reg1);
            break;
        case Form::pair_imm:
            reg1();
            put_immediate(ctx, src, Width::word, slots.imm, slots.imm_pieces, value, first);
            break;
        case Form::pair_pair:
            if (record.code == kw::ADC || record.code == kw::SBC) {
                render_byte_halves(ctx, first, &slots.reg1H, &slots.reg1L, record.reg1);
                render_byte_halves(ctx, first, &slots.reg2H, &slots.reg2L, record.reg2);
            } else {
                reg1();
                reg2();
            }
            break;
        case Form::bit_reg:
        case Form::bit_indirect:
            reg1();
            put_bit_number(ctx, src, slots.bit, slots.bit_pieces, value, first);
            break;
        case Form::bit_indexed:
            put_bit_number(ctx, src2, slots.bit, slots.bit_pieces, value, first);
            put_indexed(ctx, src, record.reg1, slots.mem, &slots.mem_pieces, value, first);
            break;
        default: break;  // no operand slots; branch targets are rendered with the branch
    }

    if (first.ok()) return true;
    out.push_back(report_operand_error(ctx, record, first));
    return false;
}

OutputLine report_operand_error(Context& ctx, LineRecord& record, const Outcome& outcome) {
    record.code = in_error(record.code);
    if (outcome.status == EvalStatus::address_name) {
        ctx.console.print("(%d) ERROR: value of label '%.12s' needed\n", ctx.includes.line_count(),
                          outcome.undefined_name.c_str());
    } else if (!outcome.undefined_name.empty()) {
        ctx.console.print("(%d) ERROR: undefined symbol '%.12s'\n", ctx.includes.line_count(),
                          outcome.undefined_name.c_str());
    } else {
        ctx.console.print("(%d) ERROR: illegal operand\n", ctx.includes.line_count());
    }
    return source_line_of(record);
}

namespace {

// Where the operand of the unary operator at `at` ends: after further unary operators, one name,
// number or parenthesised group.
std::size_t unary_operand_end(const std::vector<Piece>& pieces, std::size_t at) {
    std::size_t i = at + 1;
    while (i < pieces.size() && (pieces[i].kind == PieceKind::unary || pieces[i].kind == PieceKind::high ||
                                 pieces[i].kind == PieceKind::low)) {
        ++i;
    }
    if (i >= pieces.size()) return i;
    if (pieces[i].kind != PieceKind::open) return i + 1;
    int depth = 0;
    for (; i < pieces.size(); ++i) {
        if (pieces[i].kind == PieceKind::open) ++depth;
        if (pieces[i].kind == PieceKind::close && --depth == 0) return i + 1;
    }
    return i;
}

}  // namespace

bool gas_places(const Context& ctx, const Piece& piece) {
    if (piece.kind != PieceKind::name) return false;
    const std::string name = upper_case(piece.text);
    const DataNameEntry* entry = data_name_find(ctx.data_names, name);
    return entry == nullptr || entry->kind != name_kind::value || ctx.pass2.reserved_names.contains(name);
}

bool gas_cannot_hold(const Context& ctx, const std::vector<Piece>& pieces) {
    auto placed = [&ctx](const Piece& piece) { return gas_places(ctx, piece); };
    // Of a name it places, GNU as can only add or subtract: any other operator gives 0.
    const bool any_placed = std::any_of(pieces.begin(), pieces.end(), placed);
    const bool other_operator = std::any_of(pieces.begin(), pieces.end(), [](const Piece& piece) {
        return piece.kind == PieceKind::binary && piece.text != "+" && piece.text != "-";
    });
    if (any_placed && other_operator) return true;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const Piece& piece = pieces[i];
        const bool negates = piece.kind == PieceKind::unary && (piece.text == "-" || piece.text == "~");
        if (!negates && piece.kind != PieceKind::high && piece.kind != PieceKind::low) continue;
        const std::size_t end = unary_operand_end(pieces, i);
        for (std::size_t k = i + 1; k < end; ++k) {
            if (placed(pieces[k])) return true;
        }
    }
    return false;
}
