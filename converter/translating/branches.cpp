#include "translating/branches.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <string_view>

#include "expressions/expression_rewriter.h"
#include "reading/keywords.h"
#include "translating/operands.h"

namespace {

// Whether the record carries a label: its first byte is set (the label is zero-padded).
bool has_label(const LineRecord& record) { return record.label[0] != '\0'; }

bool is_branch(std::uint16_t code) { return code == kw::CALL || code == kw::JP || code == kw::JR || code == kw::DJNZ; }

bool is_return(std::uint16_t code) {
    return code == kw::RET || code == kw::RETI || code == kw::RETN || code == kw::RST;
}

enum class CarryUse { none, reads, sets };

// What an instruction does with the carry on the HD64180.
CarryUse carry_use(const LineRecord& record) {
    const std::uint16_t code = record.code;
    if (record.form == Form::cond_c || record.form == Form::cond_nc || record.form == Form::z_or_c ||
        record.form == Form::nz_and_nc) {
        return CarryUse::reads;
    }
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
        case kw::POP: return record.form == Form::af ? CarryUse::sets : CarryUse::none;
        default: return CarryUse::none;
    }
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
void warn_if_flags_unknown(Context& ctx, const LineRecord& record, Translation& out) {
    const bool on_z = record.form == Form::cond_z || record.form == Form::cond_nz;
    const bool on_sign = record.form == Form::cond_p || record.form == Form::cond_m;
    if (on_z && ctx.pass2.z_flag_unknown) warn_z_flag_unknown(ctx, out);
    if (on_sign && ctx.pass2.s_flag_unknown) {
        ctx.console.print("(%d) WARNING: S flag unknown\n", ctx.includes.line_count());
        out.push_back(warning_line(Warning::s_flag_unknown));
    }
}

// JR Z,X followed directly by JR C,X (branch when Z or C: BLS), or JR Z over a JR NC,X (branch when
// neither: BHI). On a merge the second JR gets the merged form and this line keeps only its label
// or its comment. The target of this JR is already in {target}; `target_complete` tells whether it
// translated whole (a target with '$' never does).
bool merge_jr_pair(Context& ctx, RecordCursor& cursor, LineRecord& record, const std::string& target,
                   bool target_complete, Translation& out) {
    LineRecord* second = cursor.at(1);
    if (second == nullptr || second->code != kw::JR || has_label(*second)) return false;
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
    record.code = has_label(record) ? line_code::label_only : line_code::comment;
    out.push_back(source_line_of(record));
    return true;
}

// What the translation of an instruction does to a flag a later branch reads, against the HD64180.
enum class FlagEffect { differs, kept, agrees };

FlagEffect z_flag_effect(const LineRecord& record) {
    const std::uint16_t code = record.code;
    const Form form = record.form;
    // The H8/300 sets Z where the HD64180 leaves it: MOV for LD, PUSH, POP and EX; ADD.W, NOT,
    // the rotates of A and the block transfer loops.
    if (code == kw::LD || (code == kw::ADD && form == Form::pair_pair) || code == kw::CPL ||
        ((code == kw::SET || code == kw::RES) && form == Form::bit_indexed) || (code >= kw::LDI && code <= kw::LDDR) ||
        code == kw::PUSH || code == kw::POP || code == kw::EX || (code >= kw::RLCA && code <= kw::RRA)) {
        return FlagEffect::differs;
    }
    // Neither processor changes Z here (or both leave it as it was).
    if (((code == kw::INC || code == kw::DEC) && (form == Form::pair || form == Form::pair_twice)) ||
        (code >= kw::RLC && code <= kw::RRD) ||
        ((code == kw::SET || code == kw::RES) && (form == Form::bit_reg || form == Form::bit_indirect)) ||
        code == kw::MLT || code == kw::NOP || code == kw::HALT || code == kw::SLP || code == kw::EI || code == kw::DI ||
        code == kw::IM || code == kw::SCF || code == kw::CCF || code == kw::SCF_CCF) {
        return FlagEffect::kept;
    }
    return FlagEffect::agrees;
}

// The HD64180's sign flag S is the H8/300's N. The instructions that set Z from a result set the
// sign from the same result on both, and those that leave Z leave the sign, except BIT: BTST sets
// Z alone, and the sign the HD64180 leaves behind BIT is undefined.
FlagEffect s_flag_effect(const LineRecord& record, FlagEffect z_effect) {
    return record.code == kw::BIT ? FlagEffect::differs : z_effect;
}

void apply(FlagEffect effect, bool& unknown) {
    if (effect != FlagEffect::kept) unknown = effect == FlagEffect::differs;
}

// Whether the Z and S flags a later branch sees may differ from the HD64180's, after this
// instruction.
void update_z_and_s_flags(Context& ctx, const LineRecord& record) {
    const FlagEffect z_effect = z_flag_effect(record);
    apply(z_effect, ctx.pass2.z_flag_unknown);
    apply(s_flag_effect(record, z_effect), ctx.pass2.s_flag_unknown);
}

void warn(Context& ctx, Translation& out, const char* message, Warning warning) {
    ctx.console.print("(%d) WARNING: %s\n", ctx.includes.line_count(), message);
    out.push_back(warning_line(warning));
}

// The carry after a block compare holds the count's end, where the HD64180 leaves the carry as it
// was: an instruction that reads it then reads something else.
void update_c_flag(Context& ctx, const LineRecord& record, Translation& out) {
    bool& unknown = ctx.pass2.c_flag_unknown;
    const bool served = record.form >= Form::po_after_transfer && record.form <= Form::pe_after_compare;
    switch (carry_use(record)) {
        case CarryUse::reads:
            if (unknown && !served) warn(ctx, out, "C flag unknown", Warning::c_flag_unknown);
            break;
        case CarryUse::sets: unknown = false; break;
        case CarryUse::none: break;
    }
    if (record.code >= kw::CPI && record.code <= kw::CPDR) unknown = true;
}

// DAA adjusts after an addition, DAS after a subtraction: the H8/300 has no flag that says which.
void track_arithmetic(Context& ctx, LineRecord& record, bool logic_is_compare, Translation& out) {
    Arithmetic& last = ctx.pass2.last_arithmetic;
    const std::uint16_t code = record.code;
    const bool byte_step = record.form == Form::reg || record.form == Form::indirect || record.form == Form::indexed;
    if (has_label(record)) last = Arithmetic::unknown;  // reached by a jump, too
    if (code == kw::DAA) {
        if (last == Arithmetic::subtraction) {
            record.form = Form::after_subtraction;
        } else if (last == Arithmetic::unknown) {
            warn(ctx, out, "DAA after unknown operation", Warning::daa_unknown);
        }
    } else if (code == kw::ADD || code == kw::ADC || (code == kw::INC && byte_step) ||
               (code == kw::LOGIC && record.form != Form::none && !logic_is_compare)) {
        last = Arithmetic::addition;
    } else if (code == kw::SUB || code == kw::SBC || (code == kw::DEC && byte_step) || code == kw::NEG ||
               (code == kw::LOGIC && logic_is_compare)) {
        last = Arithmetic::subtraction;
    } else if (is_branch(code) || is_return(code)) {
        last = Arithmetic::unknown;
    }
}

}  // namespace

bool carry_read_later(RecordCursor& cursor, int offset) {
    for (const LineRecord* record = cursor.find_instruction(offset, 1); record != nullptr;
         record = cursor.find_instruction(++offset, 1)) {
        // A label can be reached from anywhere, and a branch goes where the walk cannot follow.
        if (has_label(*record) || !is_instruction(record->code) || is_branch(record->code) || is_return(record->code)) {
            return true;
        }
        switch (carry_use(*record)) {
            case CarryUse::reads: return true;
            case CarryUse::sets: return false;
            case CarryUse::none: break;
        }
    }
    return true;  // the end of the source or of the window
}

bool track_branches_and_flags(Context& ctx, RecordCursor& cursor, LineRecord& record, std::string_view line,
                              const LineRecord& previous, LineRecord& next, OperandSlots& slots, Translation& out) {
    std::string& target = slots.target;
    // After a block instruction the count's end is in Z (transfer) or in the carry (compare).
    if (previous.code >= kw::LDI && previous.code <= kw::LDDR && is_branch(record.code)) {
        rewrite_parity_form(record, Form::po_after_transfer, Form::pe_after_transfer);
    }
    if (previous.code >= kw::CPI && previous.code <= kw::CPDR) {
        if (is_branch(record.code)) rewrite_parity_form(record, Form::po_after_compare, Form::pe_after_compare);
        // A second branch right after the first still tests the flags of the block compare.
        if (record.code != kw::CALL && is_branch(record.code) && is_branch(next.code)) {
            rewrite_parity_form(next, Form::po_after_compare, Form::pe_after_compare);
        }
    }

    update_c_flag(ctx, record, out);
    track_arithmetic(ctx, record, slots.logic == "CMP.B", out);
    if (!is_branch(record.code)) {
        // RET Z, RET NZ, RET P and RET M test the flags as the branches do.
        if (record.code == kw::RET) warn_if_flags_unknown(ctx, record, out);
        update_z_and_s_flags(ctx, record);
        return false;
    }

    warn_if_flags_unknown(ctx, record, out);
    // The H8/300 DEC that counts DJNZ's loop sets Z and N.
    if (record.code == kw::DJNZ) ctx.pass2.z_flag_unknown = ctx.pass2.s_flag_unknown = true;

    const std::string_view src = text_at(line, record.col1);
    const bool jr_on_z = record.code == kw::JR && record.form == Form::cond_z;
    std::string translated;
    std::vector<Piece> pieces;
    const bool absolute = record.code == kw::CALL || record.code == kw::JP;
    // The pieces serve the GNU syntax, and tell whether a relative branch goes to one name (an
    // absolute target, behind its '@', never is one).
    const bool need_pieces = ctx.settings.gas || !absolute;
    const Rewrite result =
        translate_expression(ctx.eval, ctx.data_names, src, translated, nullptr, need_pieces ? &pieces : nullptr);
    if (absolute) {
        target.assign(1, '@');
        target += translated;
        // The subroutine may change the flags.
        if (record.code == kw::CALL) ctx.pass2.z_flag_unknown = ctx.pass2.s_flag_unknown = true;
    } else {
        target = std::move(translated);
    }
    if (absolute && need_pieces) {
        slots.target_pieces.pieces.reserve(pieces.size() + 1);
        slots.target_pieces.pieces.push_back({PieceKind::text, "@", 0});
        std::move(pieces.begin(), pieces.end(), std::back_inserter(slots.target_pieces.pieces));
    } else {
        slots.target_pieces.pieces = std::move(pieces);
    }
    const std::vector<Piece>& target_pieces = slots.target_pieces.pieces;
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
