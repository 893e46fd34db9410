#include "translating/dispatcher.h"

#include <string>
#include <utility>

#include "reading/keywords.h"
#include "translating/branches.h"
#include "translating/operands.h"

namespace {

// The neighbouring instruction records of the current line. A walk that finds none (the start or
// end of the source, or of the window) takes the all-zero record `none`, which merges with nothing.
struct Neighbours {
    LineRecord none{};
    LineRecord* previous = nullptr;
    LineRecord* next = nullptr;
    int next_offset = 0;  // places from the current record to `next`
};

void clear_pieces(OperandPieces& pieces) {
    pieces.pieces.clear();
    pieces.byte_wide = false;
}

// Empties the slots the last instruction line filled, keeping the room of their texts and pieces.
// Every member is reset: a line must not see what the one before it rendered.
void clear_slots(OperandSlots& slots) {
    // One assignment each: a chained one stores the first view in two halves and reads it back
    // whole for the next, a store the processor cannot forward to the read, which then waits.
    slots.reg1 = {};
    slots.reg2 = {};
    slots.logic = {};
    slots.reg1H = {};
    slots.reg1L = {};
    slots.reg2H = {};
    slots.reg2L = {};
    slots.imm.clear();
    slots.mem.clear();
    slots.bit.clear();
    slots.target.clear();
    slots.mem_next.clear();
    clear_pieces(slots.imm_pieces);
    clear_pieces(slots.mem_pieces);
    clear_pieces(slots.bit_pieces);
    clear_pieces(slots.target_pieces);
    slots.target_fixed = false;
    slots.with_pieces = true;
}

// Whether the translation may depend on the next instruction: a pair it may merge with, a test
// whose carry or redundancy the next instructions decide. Most instructions never look.
bool looks_at_next(const LineRecord& record) {
    switch (record.code) {
        case kw::SCF:
        case kw::LOGIC:
        case kw::TST: return true;
        case kw::INC:
        case kw::DEC:
        case kw::PUSH: return record.form == Form::pair;
        case kw::LD: return record.form == Form::reg_indirect;  // LD r,(rr) + INC rr
        default: return false;
    }
}

bool is_branch(std::uint16_t code) { return code == kw::CALL || code == kw::JP || code == kw::JR || code == kw::DJNZ; }

void find_next(RecordCursor& cursor, Neighbours& n, int from) {
    n.next_offset = from;
    LineRecord* found = cursor.find_instruction(n.next_offset, 1);
    n.next = found != nullptr ? found : &n.none;
}

// The next record becomes a comment line of its own (its instruction is part of this line's
// translation); the record after it becomes the next one.
void absorb_next(RecordCursor& cursor, Neighbours& n) {
    n.next->code = line_code::comment;
    find_next(cursor, n, n.next_offset + 1);
}

// With --little-endian a word load or store moves its two bytes low first, as the HD64180 does.
void use_little_endian_forms(const Settings& settings, LineRecord& record) {
    if (!settings.little_endian || record.code != kw::LD) return;
    if (record.form == Form::pair_mem) {
        record.form = record.reg1 == reg::SP ? Form::sp_mem_le : Form::pair_mem_le;
    } else if (record.form == Form::mem_pair) {
        record.form = record.reg2 == reg::SP ? Form::mem_sp_le : Form::mem_pair_le;
    }
}

// The line that clears the carry; it names no slot.
constexpr TemplateStep clear_carry[] = {{"ANDC", "#H'FE", "CCR"}};

void add_clear_carry_line(const OperandSlots& slots, Translation& out) { fill_template(clear_carry, slots, {}, out); }

bool is_a_test(const LineRecord& record, std::string_view logic) {
    return record.code == kw::LOGIC && logic != "XOR" && record.form == Form::reg && record.reg1 == reg::A;
}

// The pairs whose post-increment and pre-decrement addressing has an H8/300 name.
bool has_auto_step_name(std::uint8_t pair) { return pair == reg::BC || pair == reg::DE || pair == reg::HL; }

// Whether the 8-bit register is a half of the pair (H of HL). A byte moved into or out of the pair
// that steps cannot be fused with the step: LD L,(HL) + INC HL increments the loaded byte on the
// HD64180, while @R3+ would step the address it came from.
bool is_half_of(std::uint8_t reg8, std::uint8_t pair) {
    switch (pair) {
        case reg::BC: return reg8 == reg::B || reg8 == reg::C;
        case reg::DE: return reg8 == reg::D || reg8 == reg::E;
        case reg::HL: return reg8 == reg::H || reg8 == reg::L;
        default: return false;
    }
}

// Merges the instruction with the next one where the H8/300 has a better sequence for the pair.
void fuse_with_neighbours(RecordCursor& cursor, LineRecord& record, std::string_view logic, Neighbours& n) {
    if (n.next->has_label()) return;
    if (record.code == kw::SCF && n.next->code == kw::CCF) {
        record.code = kw::SCF_CCF;  // carry cleared
        absorb_next(cursor, n);
        if (n.next->has_label()) return;
    }
    // A test that clears the carry, then SBC: one SUB.W.
    if ((is_a_test(record, logic) || record.code == kw::SCF_CCF) && n.next->code == kw::SBC &&
        (n.next->form == Form::pair_imm || n.next->form == Form::pair_pair)) {
        record.code = kw::SUB;
        record.form = n.next->form;
        record.reg1 = n.next->reg1;
        record.reg2 = n.next->reg2;
        absorb_next(cursor, n);
        if (n.next->has_label()) return;
    }

    LineRecord& next = *n.next;
    const bool next_inc_pair = next.code == kw::INC && next.form == Form::pair;
    if (next_inc_pair && record.code == kw::INC && record.form == Form::pair && record.reg1 == next.reg1) {
        record.form = Form::pair_twice;  // ADDS #2
    } else if (next_inc_pair && record.code == kw::LD && record.form == Form::reg_indirect &&
               has_auto_step_name(next.reg1) && record.reg2 == reg::indirect(next.reg1) &&
               !is_half_of(record.reg1, next.reg1)) {
        record.form = Form::reg_postinc;  // @rr+
        record.reg2 = reg::postincrement(record.reg2);
    } else if (record.code == kw::DEC && record.form == Form::pair && next.code == kw::DEC && next.form == Form::pair &&
               record.reg1 == next.reg1) {
        record.form = Form::pair_twice;  // SUBS #2
    } else if (record.code == kw::DEC && record.form == Form::pair && next.code == kw::LD &&
               next.form == Form::indirect_reg && has_auto_step_name(record.reg1) &&
               next.reg1 == reg::indirect(record.reg1) && !is_half_of(next.reg2, record.reg1)) {
        record.code = kw::LD;
        record.form = Form::predec_reg;  // @-rr
        record.reg1 = reg::predecrement(next.reg1);
        record.reg2 = next.reg2;
    } else if (record.code == kw::PUSH && record.form == Form::pair && next.code == kw::POP &&
               next.form == Form::pair) {
        record.code = kw::LD;
        record.form = Form::pair_pair;  // MOV.W from the pushed to the popped pair
        record.reg2 = record.reg1;
        record.reg1 = next.reg1;
    } else {
        return;
    }
    absorb_next(cursor, n);
}

// CP 0, AND A or OR A right before JP/JR Z/NZ adds nothing on the H8/300 when the instruction
// before was an 8-bit MOV of A: the MOV has already set Z from the same value.
bool is_redundant_test(const LineRecord& record, const OperandSlots& slots, const Neighbours& n) {
    if (record.code != kw::LOGIC || record.has_label()) return false;
    const bool compare_with_zero = slots.logic == "CMP.B" && record.form == Form::imm && slots.imm == "#H'0";
    const bool test_a =
        (slots.logic == "AND" || slots.logic == "OR") && record.form == Form::reg && record.reg1 == reg::A;
    if (!compare_with_zero && !test_a) return false;
    const LineRecord& next = *n.next;
    if ((next.code != kw::JP && next.code != kw::JR) || (next.form != Form::cond_z && next.form != Form::cond_nz))
        return false;
    const LineRecord& previous = *n.previous;
    return previous.code == kw::LD && previous.form >= Form::reg_imm && previous.form <= Form::indexed_reg &&
           (previous.reg1 == reg::A || previous.reg2 == reg::A);
}

}  // namespace

void translate_instruction(Context& ctx, RecordCursor& cursor, LineRecord& record, std::string_view line,
                           Translation& out, TemplateLines* direct) {
    OperandSlots& slots = ctx.pass2.slots;
    clear_slots(slots);
    slots.with_pieces = ctx.settings.gas;
    switch (record.code) {
        case kw::AND: slots.logic = "AND"; break;
        case kw::OR: slots.logic = "OR"; break;
        case kw::XOR: slots.logic = "XOR"; break;
        case kw::CP: slots.logic = "CMP.B"; break;
        default: break;
    }
    if (!slots.logic.empty()) record.code = kw::LOGIC;

    // A label can be reached by a jump, with whatever Z flag the jump had.
    const std::string_view label = record.label_view();
    if (!label.empty()) ctx.pass2.z_flag_unknown = ctx.pass2.s_flag_unknown = true;

    // The neighbours are looked for only where they can matter: the instruction before a test or a
    // branch (a block instruction gives a branch's PO and PE their meaning), the one after an
    // instruction that may merge with it or a branch after a block compare.
    Neighbours n;
    n.previous = n.next = &n.none;
    n.next_offset = 1;
    if (record.code == kw::LOGIC || is_branch(record.code)) {
        int previous_offset = -1;
        LineRecord* previous = cursor.find_instruction(previous_offset, -1);
        if (previous != nullptr) n.previous = previous;
    }
    if (looks_at_next(record)) {
        find_next(cursor, n, 1);
        fuse_with_neighbours(cursor, record, slots.logic, n);
    } else if (is_branch(record.code) && n.previous->code >= kw::CPI && n.previous->code <= kw::CPDR) {
        find_next(cursor, n, 1);
    }

    // A word keeps its high byte first on the H8/300: a byte access of a name that is also used as
    // a word reads the other byte than on the HD64180, unless words keep the HD64180's order.
    if (!ctx.settings.little_endian && byte_access_of_word(ctx.memory_access, named_access(record, line))) {
        ctx.console.print("(%d) WARNING: byte order\n", ctx.includes.line_count());
        out.push_back(warning_line(Warning::byte_order));
    }
    use_little_endian_forms(ctx.settings, record);
    if (!render_operands(ctx, record, line, slots, out)) return;
    if (track_branches_and_flags(ctx, cursor, record, line, *n.previous, *n.next, slots, out)) return;

    // The test adds nothing but the carry it clears, and the branch after it counts as a read.
    if (is_redundant_test(record, slots, n)) {
        add_clear_carry_line(slots, out);
        return;
    }
    // AND, OR, XOR and TST clear the carry on the HD64180 and leave it on the H8/300.
    const bool clears_carry = (record.code == kw::LOGIC && slots.logic != "CMP.B") || record.code == kw::TST;
    const bool carry_read = clears_carry && carry_read_later(cursor, n.next_offset);

    const TemplateEntry& entry = find_template(ctx.template_index, key(record.code, record.form));
    if (entry.key == 0) {
        ctx.console.print("(%d) ERROR: unknown mnemonic\n", ctx.includes.line_count());
    } else if (entry.steps.empty()) {
        ctx.console.print("(%d) ERROR: unsupport mnemonic '%s'\n", ctx.includes.line_count(),
                          std::string(entry.display).c_str());
    } else if (direct != nullptr) {
        *direct = {entry.steps, label,
                   carry_read ? std::span<const TemplateStep>(clear_carry) : std::span<const TemplateStep>()};
        return;
    } else {
        fill_template(entry.steps, slots, label, out);
        if (carry_read) add_clear_carry_line(slots, out);
        return;
    }
    record.code = in_error(record.code);
    put_source_line(record, out.emplace_back());
}
