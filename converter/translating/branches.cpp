#include "translating/branches.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "expressions/expression_rewriter.h"
#include "reading/keywords.h"
#include "translating/operands.h"

namespace {

constexpr bool is_branch(std::uint16_t code) {
    return code == kw::CALL || code == kw::JP || code == kw::JR || code == kw::DJNZ;
}

constexpr bool is_return(std::uint16_t code) {
    return code == kw::RET || code == kw::RETI || code == kw::RETN || code == kw::RST;
}

enum class CarryUse : std::uint8_t { none, reads, sets };

// What the translation of an instruction does to a flag a later branch reads, against the HD64180.
enum class FlagEffect : std::uint8_t { differs, kept, agrees };
// The same for Z by mnemonic; for a few the operand form decides.
enum class ZRule : std::uint8_t { differs, kept, agrees, by_form };
// What an instruction tells of the arithmetic a DAA adjusts after.
enum class ArithmeticRule : std::uint8_t {
    none,
    addition,
    subtraction,
    byte_addition,     // INC: a byte, not a pair
    byte_subtraction,  // DEC likewise
    logic,             // AND, OR and XOR add, CP subtracts
    daa,
    forget,  // a branch or a return: what comes after is reached from elsewhere
};

// What pass 2 follows of an instruction's flags, by its mnemonic. Every instruction line asks:
// the answers stand in a table by the code's high byte.
struct FlagTraits {
    CarryUse carry = CarryUse::none;  // besides the conditions on the carry, which every mnemonic reads
    bool pop = false;                 // POP: only POP AF sets the carry
    ZRule z = ZRule::agrees;
    bool s_differs = false;  // the sign differs whatever Z does (BIT)
    ArithmeticRule arithmetic = ArithmeticRule::none;
    bool branch = false;
    bool block_compare = false;  // CPI, CPIR, CPD, CPDR
    // Neither a branch nor a return, no carry read or arithmetic to follow, Z and S by mnemonic
    // alone: most instructions, which only set or keep the flags their table entry says.
    bool plain = false;
};

constexpr CarryUse carry_use_of(std::uint16_t code) {
    switch (code) {
        case kw::ADC:
        case kw::SBC:
        case kw::RLA:
        case kw::RRA:
        case kw::RL:
        case kw::RR:
        case kw::CCF:
        case kw::DAA: return CarryUse::reads;
        case kw::ADD:
        case kw::SUB:
        case kw::AND:
        case kw::OR:
        case kw::XOR:
        case kw::CP:
        case kw::LOGIC:
        case kw::NEG:
        case kw::SCF:
        case kw::SCF_CCF:
        case kw::RLCA:
        case kw::RRCA:
        case kw::RLC:
        case kw::RRC:
        case kw::SLA:
        case kw::SRA:
        case kw::SRL:
        case kw::TST: return CarryUse::sets;
        default: return CarryUse::none;
    }
}

constexpr ZRule z_rule_of(std::uint16_t code) {
    if (code == kw::ADD || code == kw::SET || code == kw::RES || code == kw::INC || code == kw::DEC) {
        return ZRule::by_form;
    }
    // The H8/300 sets Z where the HD64180 leaves it: MOV for LD, PUSH, POP and EX; NOT, the
    // rotates of A and the block transfer loops.
    if (code == kw::LD || code == kw::CPL || (code >= kw::LDI && code <= kw::LDDR) || code == kw::PUSH ||
        code == kw::POP || code == kw::EX || (code >= kw::RLCA && code <= kw::RRA)) {
        return ZRule::differs;
    }
    // Neither processor changes Z here (or both leave it as it was).
    if ((code >= kw::RLC && code <= kw::RRD) || code == kw::MLT || code == kw::NOP || code == kw::HALT ||
        code == kw::SLP || code == kw::EI || code == kw::DI || code == kw::IM || code == kw::SCF || code == kw::CCF ||
        code == kw::SCF_CCF) {
        return ZRule::kept;
    }
    return ZRule::agrees;
}

constexpr ArithmeticRule arithmetic_rule_of(std::uint16_t code) {
    if (code == kw::DAA) return ArithmeticRule::daa;
    if (code == kw::ADD || code == kw::ADC) return ArithmeticRule::addition;
    if (code == kw::INC) return ArithmeticRule::byte_addition;
    if (code == kw::LOGIC) return ArithmeticRule::logic;
    if (code == kw::SUB || code == kw::SBC || code == kw::NEG) return ArithmeticRule::subtraction;
    if (code == kw::DEC) return ArithmeticRule::byte_subtraction;
    if (is_branch(code) || is_return(code)) return ArithmeticRule::forget;
    return ArithmeticRule::none;
}

constexpr FlagTraits flag_traits_of(std::uint16_t code) {
    FlagTraits traits;
    traits.carry = carry_use_of(code);
    traits.pop = code == kw::POP;
    traits.z = z_rule_of(code);
    traits.s_differs = code == kw::BIT;
    traits.arithmetic = arithmetic_rule_of(code);
    traits.branch = is_branch(code);
    traits.block_compare = code >= kw::CPI && code <= kw::CPDR;
    traits.plain = !traits.branch && !is_return(code) && traits.carry != CarryUse::reads &&
                   traits.arithmetic == ArithmeticRule::none && traits.z != ZRule::by_form && !traits.block_compare;
    return traits;
}

constexpr std::array<FlagTraits, 256> make_flag_table() {
    std::array<FlagTraits, 256> table{};
    for (std::size_t high = 0; high < table.size(); ++high)
        table[high] = flag_traits_of(static_cast<std::uint16_t>(high << 8));
    return table;
}

constexpr std::array<FlagTraits, 256> flag_table = make_flag_table();

constexpr FlagTraits no_flag_traits{};

// Instruction codes carry their mnemonic in the high byte alone; any other code names no mnemonic.
inline const FlagTraits& flag_traits(std::uint16_t code) {
    return (code & 0xFF) == 0 ? flag_table[code >> 8] : no_flag_traits;
}

// What an instruction does with the carry on the HD64180.
// The forms whose condition is on the carry, by form: every instruction line asks.
constexpr std::array<bool, 256> carry_condition_forms = [] {
    std::array<bool, 256> forms{};
    for (Form form : {Form::cond_c, Form::cond_nc, Form::z_or_c, Form::nz_and_nc}) {
        forms[static_cast<std::uint8_t>(form)] = true;
    }
    return forms;
}();

CarryUse carry_use(const LineRecord& record, const FlagTraits& traits) {
    if (carry_condition_forms[static_cast<std::uint8_t>(record.form)]) return CarryUse::reads;
    if (traits.pop) return record.form == Form::af ? CarryUse::sets : CarryUse::none;
    return traits.carry;
}

// Targets are addresses: numbers in them keep all 16 bits.
Rewrite translate_target(Context& ctx, std::string& out, std::string_view text) {
    return translate_expression(ctx.eval, ctx.data_names, text, out);
}

void rewrite_parity_form(LineRecord& record, Form po_form, Form pe_form) {
    if (record.form == Form::cond_po)
        record.form = po_form;
    else if (record.form == Form::cond_pe)
        record.form = pe_form;
}

void warn_z_flag_unknown(Context& ctx, Translation& out) {
    ctx.console.print("(%d) WARNING: Z flag unknown\n", ctx.includes.line_count());
    out.push_back(warning_line(Warning::z_flag_unknown));
}

// A branch on the sign (P or M, extended mode) reads a flag that may differ from the HD64180's.
void warn_s_flag_unknown(Context& ctx, Translation& out) {
    ctx.console.print("(%d) WARNING: S flag unknown\n", ctx.includes.line_count());
    out.push_back(warning_line(Warning::s_flag_unknown));
}

// Every branch and return asks, and seldom warns: the question stays inline.
inline void warn_if_flags_unknown(Context& ctx, const LineRecord& record, Translation& out) {
    const bool on_z = record.form == Form::cond_z || record.form == Form::cond_nz;
    const bool on_sign = record.form == Form::cond_p || record.form == Form::cond_m;
    if (on_z && ctx.pass2.z_flag_unknown) warn_z_flag_unknown(ctx, out);
    if (on_sign && ctx.pass2.s_flag_unknown) warn_s_flag_unknown(ctx, out);
}

// JR Z,X followed directly by JR C,X (branch when Z or C: BLS), or JR Z over a JR NC,X (branch when
// neither: BHI). On a merge the second JR gets the merged form and this line keeps only its label
// or its comment. The target of this JR is already in {target}; `target_complete` tells whether it
// translated whole (a target with '$' never does).
bool merge_jr_pair(Context& ctx, RecordCursor& cursor, LineRecord& record, const std::string& target,
                   bool target_complete, Translation& out) {
    LineRecord* second = cursor.at(1);
    if (second == nullptr || second->code != kw::JR || second->has_label()) return false;
    bool merged = false;
    if (second->form == Form::cond_c && target_complete) {
        // The second JR's target text is on the next source line, which pass 2 has not read yet.
        if (cursor.read_ahead(ctx.includes.current().file, ctx.settings.extended)) {
            std::string second_target;
            Rewrite result = translate_target(ctx, second_target, text_at(cursor.lookahead_line(), second->col1));
            merged = result == Rewrite::complete && second_target == target;
        }
    } else if (second->form == Form::cond_nc) {
        // Skipping the JR NC means landing either at $+4 or at a label right after it.
        const LineRecord* after = cursor.at(2);
        std::string_view label = after != nullptr ? after->label_view() : std::string_view();
        merged =
            target == "$+H'4" || (target_complete && !label.empty() && std::string_view(target).substr(0, 16) == label);
    }
    if (!merged) return false;
    second->form = second->form == Form::cond_c ? Form::z_or_c : Form::nz_and_nc;
    record.code = record.has_label() ? line_code::label_only : line_code::comment;
    out.push_back(source_line_of(record));
    return true;
}

FlagEffect z_flag_effect(const LineRecord& record, const FlagTraits& traits) {
    switch (traits.z) {
        case ZRule::differs: return FlagEffect::differs;
        case ZRule::kept: return FlagEffect::kept;
        case ZRule::agrees: return FlagEffect::agrees;
        case ZRule::by_form: break;
    }
    const std::uint16_t code = record.code;
    const Form form = record.form;
    // ADD.W sets Z where ADD HL,rr leaves it; so does the byte moved through R6L of a bit set or
    // reset on an indexed byte.
    if ((code == kw::ADD && form == Form::pair_pair) ||
        ((code == kw::SET || code == kw::RES) && form == Form::bit_indexed)) {
        return FlagEffect::differs;
    }
    if (((code == kw::INC || code == kw::DEC) && (form == Form::pair || form == Form::pair_twice)) ||
        ((code == kw::SET || code == kw::RES) && (form == Form::bit_reg || form == Form::bit_indirect))) {
        return FlagEffect::kept;
    }
    return FlagEffect::agrees;
}

void apply(FlagEffect effect, bool& unknown) {
    if (effect != FlagEffect::kept) unknown = effect == FlagEffect::differs;
}

// Whether the Z and S flags a later branch sees may differ from the HD64180's, after this
// instruction. The HD64180's sign flag S is the H8/300's N. The instructions that set Z from a
// result set the sign from the same result on both, and those that leave Z leave the sign, except
// BIT: BTST sets Z alone, and the sign the HD64180 leaves behind BIT is undefined.
void update_z_and_s_flags(Context& ctx, const LineRecord& record, const FlagTraits& traits) {
    const FlagEffect z_effect = z_flag_effect(record, traits);
    apply(z_effect, ctx.pass2.z_flag_unknown);
    apply(traits.s_differs ? FlagEffect::differs : z_effect, ctx.pass2.s_flag_unknown);
}

void warn(Context& ctx, Translation& out, const char* message, Warning warning) {
    ctx.console.print("(%d) WARNING: %s\n", ctx.includes.line_count(), message);
    out.push_back(warning_line(warning));
}

// The carry after a block compare holds the count's end, where the HD64180 leaves the carry as it
// was: an instruction that reads it then reads something else.
inline void update_c_flag(Context& ctx, const LineRecord& record, const FlagTraits& traits, Translation& out) {
    bool& unknown = ctx.pass2.c_flag_unknown;
    switch (carry_use(record, traits)) {
        case CarryUse::reads: {
            const bool served = record.form >= Form::po_after_transfer && record.form <= Form::pe_after_compare;
            if (unknown && !served) warn(ctx, out, "C flag unknown", Warning::c_flag_unknown);
            break;
        }
        case CarryUse::sets: unknown = false; break;
        case CarryUse::none: break;
    }
    if (traits.block_compare) unknown = true;
}

// DAA adjusts after an addition, DAS after a subtraction: the H8/300 has no flag that says which.
void track_arithmetic(Context& ctx, LineRecord& record, const FlagTraits& traits, const OperandSlots& slots,
                      Translation& out) {
    Arithmetic& last = ctx.pass2.last_arithmetic;
    const auto byte_step = [&record] {
        return record.form == Form::reg || record.form == Form::indirect || record.form == Form::indexed;
    };
    if (record.has_label()) last = Arithmetic::unknown;  // reached by a jump, too
    switch (traits.arithmetic) {
        case ArithmeticRule::none: break;
        case ArithmeticRule::daa:
            if (last == Arithmetic::subtraction) {
                record.form = Form::after_subtraction;
            } else if (last == Arithmetic::unknown) {
                warn(ctx, out, "DAA after unknown operation", Warning::daa_unknown);
            }
            break;
        case ArithmeticRule::addition: last = Arithmetic::addition; break;
        case ArithmeticRule::subtraction: last = Arithmetic::subtraction; break;
        case ArithmeticRule::byte_addition:
            if (byte_step()) last = Arithmetic::addition;
            break;
        case ArithmeticRule::byte_subtraction:
            if (byte_step()) last = Arithmetic::subtraction;
            break;
        case ArithmeticRule::logic:
            if (slots.logic == "CMP.B") {
                last = Arithmetic::subtraction;
            } else if (record.form != Form::none) {
                last = Arithmetic::addition;
            }
            break;
        case ArithmeticRule::forget: last = Arithmetic::unknown; break;
    }
}

}  // namespace

bool carry_read_later(RecordCursor& cursor, int offset) {
    for (const LineRecord* record = cursor.find_instruction(offset, 1); record != nullptr;
         record = cursor.find_instruction(++offset, 1)) {
        // A label can be reached from anywhere, and a branch goes where the walk cannot follow.
        if (record->has_label() || !is_instruction(record->code) || is_branch(record->code) ||
            is_return(record->code)) {
            return true;
        }
        switch (carry_use(*record, flag_traits(record->code))) {
            case CarryUse::reads: return true;
            case CarryUse::sets: return false;
            case CarryUse::none: break;
        }
    }
    return true;  // the end of the source or of the window
}

namespace {

// PO and PE of a branch right after a block instruction.
void read_parity_after_block(LineRecord& record, const LineRecord& previous, LineRecord& next) {
    // After a block instruction the count's end is in Z (transfer) or in the carry (compare).
    if (previous.code >= kw::LDI && previous.code <= kw::LDDR) {
        rewrite_parity_form(record, Form::po_after_transfer, Form::pe_after_transfer);
    }
    if (previous.code >= kw::CPI && previous.code <= kw::CPDR) {
        rewrite_parity_form(record, Form::po_after_compare, Form::pe_after_compare);
        // A second branch right after the first still tests the flags of the block compare.
        if (record.code != kw::CALL && is_branch(next.code)) {
            rewrite_parity_form(next, Form::po_after_compare, Form::pe_after_compare);
        }
    }
}

// A branch: its target rendered into slots.target, and a JR Z merged with the JR C or NC after it.
// True when the line's translation is complete in `out`. Inline where the branches are told apart:
// a call would pass eight arguments on for every branch.
[[gnu::always_inline]] inline bool render_branch_target(Context& ctx, RecordCursor& cursor, LineRecord& record,
                                                        std::string_view line, OperandSlots& slots, Translation& out) {
    warn_if_flags_unknown(ctx, record, out);
    // The H8/300 DEC that counts DJNZ's loop sets Z and N.
    if (record.code == kw::DJNZ) ctx.pass2.z_flag_unknown = ctx.pass2.s_flag_unknown = true;

    std::string& target = slots.target;
    std::vector<Piece>& target_pieces = slots.target_pieces.pieces;
    const std::string_view src = text_at(line, record.col1);
    const bool jr_on_z = record.code == kw::JR && record.form == Form::cond_z;
    const bool absolute = record.code == kw::CALL || record.code == kw::JP;
    // The pieces serve the GNU syntax, and tell whether a relative branch goes to one name (an
    // absolute target, behind its '@', never is one).
    const bool need_pieces = ctx.settings.gas || !absolute;
    std::vector<Piece>* const pieces = need_pieces ? &target_pieces : nullptr;
    // Most targets are one name, written as it stands: only the GNU syntax, which looks at every
    // name, takes the general rewrite for it.
    const std::string_view name = ctx.settings.gas ? std::string_view() : lone_name(ctx.eval, src);
    Rewrite result = Rewrite::complete;
    if (!name.empty()) {
        target.clear();
        if (absolute) target.push_back('@');
        target.append(name);
        target_pieces.clear();
        if (!absolute) target_pieces.push_back(Piece{PieceKind::name, std::string(name), 0});
    } else if (absolute) {
        result = translate_expression_after(ctx.eval, ctx.data_names, src, "@", target, nullptr, pieces);
    } else {
        result = translate_expression(ctx.eval, ctx.data_names, src, target, nullptr, pieces);
    }
    if (absolute && name.empty()) {
        if (need_pieces) {
            target_pieces.insert(target_pieces.begin(), Piece{PieceKind::text, "@", 0});
        } else {
            target_pieces.clear();
        }
    }
    // The subroutine may change the flags.
    if (record.code == kw::CALL) ctx.pass2.z_flag_unknown = ctx.pass2.s_flag_unknown = true;
    slots.target_fixed =
        ctx.settings.gas && std::none_of(target_pieces.begin(), target_pieces.end(), [&ctx](const Piece& piece) {
            return gas_places(ctx, piece) || piece.kind == PieceKind::location;
        });
    if (result != Rewrite::complete) record.form = Form::illegal_branch;
    if (jr_on_z && merge_jr_pair(ctx, cursor, record, target, result == Rewrite::complete, out)) {
        return true;
    }

    if (record.form != Form::illegal_branch) return false;
    ctx.console.print("(%d) ERROR: illegal CALL/JP/JR operand\n", ctx.includes.line_count());
    record.code = in_error(record.code);
    out.push_back(source_line_of(record));
    return true;
}

}  // namespace

namespace {

// Every instruction but the plain ones: branches, returns, carry readers, arithmetic a DAA follows
// and the instructions whose Z the operand form decides. Apart from the plain path, so that the
// commonest call keeps its few registers and pays no frame for these.
[[gnu::noinline]] bool track_other_instruction(Context& ctx, RecordCursor& cursor, LineRecord& record,
                                               std::string_view line, const LineRecord& previous, LineRecord& next,
                                               OperandSlots& slots, Translation& out) {
    const FlagTraits& traits = flag_traits(record.code);
    if (traits.branch) read_parity_after_block(record, previous, next);
    update_c_flag(ctx, record, traits, out);
    track_arithmetic(ctx, record, traits, slots, out);
    if (traits.branch) return render_branch_target(ctx, cursor, record, line, slots, out);
    // RET Z, RET NZ, RET P and RET M test the flags as the branches do.
    if (record.code == kw::RET) warn_if_flags_unknown(ctx, record, out);
    update_z_and_s_flags(ctx, record, traits);
    return false;
}

}  // namespace

bool track_branches_and_flags(Context& ctx, RecordCursor& cursor, LineRecord& record, std::string_view line,
                              const LineRecord& previous, LineRecord& next, OperandSlots& slots, Translation& out) {
    const FlagTraits& traits = flag_traits(record.code);
    // A plain instruction that reads the carry (none does by now) takes the general way, which
    // may warn.
    const CarryUse carry = carry_use(record, traits);
    if (!traits.plain || carry == CarryUse::reads) {
        return track_other_instruction(ctx, cursor, record, line, previous, next, slots, out);
    }
    if (carry == CarryUse::sets) ctx.pass2.c_flag_unknown = false;
    if (record.has_label()) ctx.pass2.last_arithmetic = Arithmetic::unknown;  // reached by a jump, too
    if (traits.z != ZRule::kept) {
        ctx.pass2.z_flag_unknown = traits.z == ZRule::differs;
        ctx.pass2.s_flag_unknown = traits.z == ZRule::differs || traits.s_differs;
    } else if (traits.s_differs) {
        ctx.pass2.s_flag_unknown = true;
    }
    return false;
}
