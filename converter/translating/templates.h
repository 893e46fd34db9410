// The instruction templates: for every (instruction code, operand form) pair the converter can
// translate, the H8/300 lines it becomes. Operand texts that name a slot ("{reg1}", "{imm}", ...)
// are filled per line by operand rendering and branch translation.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "writing/output_line.h"

// The operand slots a template text can name; `fixed` for a text that names none.
enum class Slot : std::uint8_t {
    fixed,
    reg1,
    reg2,
    imm,
    mem,
    mem_next,
    bit,
    target,
    logic,
    reg1H,
    reg1L,
    reg2H,
    reg2L
};

// Whether a slot's text lies in one of the slots' std::strings, not in a fixed table.
constexpr bool in_string(Slot slot) { return slot >= Slot::imm && slot <= Slot::target; }

// The slot a text names ("{reg1}", "{imm}", ...), or Slot::fixed.
constexpr Slot slot_of(std::string_view text) {
    if (text.size() < 3 || text.front() != '{' || text.back() != '}') return Slot::fixed;
    const std::string_view name = text.substr(1, text.size() - 2);
    if (name == "reg1") return Slot::reg1;
    if (name == "reg2") return Slot::reg2;
    if (name == "imm") return Slot::imm;
    if (name == "mem") return Slot::mem;
    if (name == "mem+1") return Slot::mem_next;
    if (name == "bit") return Slot::bit;
    if (name == "target") return Slot::target;
    if (name == "logic") return Slot::logic;
    if (name == "reg1H") return Slot::reg1H;
    if (name == "reg1L") return Slot::reg1L;
    if (name == "reg2H") return Slot::reg2H;
    if (name == "reg2L") return Slot::reg2L;
    return Slot::fixed;
}

// A register operand: Rn, RnH, RnL, SP, CCR, @Rn, @-Rn, @Rn+ or @SP.
constexpr bool is_register_operand(std::string_view operand) {
    if (operand.starts_with('@')) {
        operand.remove_prefix(1);
        if (operand.starts_with('-')) operand.remove_prefix(1);
        if (operand.ends_with('+')) operand.remove_suffix(1);
    }
    if (operand == "SP" || operand == "CCR") return true;
    if (operand.size() < 2 || operand.size() > 3 || operand[0] != 'R' || operand[1] < '0' || operand[1] > '7') {
        return false;
    }
    return operand.size() == 2 || operand[2] == 'H' || operand[2] == 'L';
}

constexpr bool is_bit_instruction(std::string_view mnemonic) {
    return mnemonic == "BSET" || mnemonic == "BCLR" || mnemonic == "BTST" || mnemonic == "BNOT";
}

// The conditional branches with an 8-bit displacement, which a far target puts out of reach.
constexpr bool is_short_branch(std::string_view mnemonic) {
    return mnemonic == "BRA" || mnemonic == "BHI" || mnemonic == "BLS" || mnemonic == "BCC" || mnemonic == "BCS" ||
           mnemonic == "BNE" || mnemonic == "BEQ";
}

// Whether an operand makes its instruction 4 bytes long: an absolute address, a displacement, or
// any memory operand of a bit operation.
constexpr bool is_long_operand(std::string_view mnemonic, std::string_view operand) {
    return operand.starts_with('@') && (!is_register_operand(operand) || is_bit_instruction(mnemonic));
}

// One H8/300 line, without a label (the first line of a translation gets the source line's).
// Empty texts are absent. The slots each text names, and what the texts without a slot tell of
// the line's size and branch, are found once, when the table is made: a line only looks again at
// the texts its slots bring.
struct TemplateStep {
    std::string_view mnemonic;
    std::string_view operand1;
    std::string_view operand2;
    Slot mnemonic_slot = Slot::fixed;
    Slot slot1 = Slot::fixed;
    Slot slot2 = Slot::fixed;
    bool word_move = false;  // MOV.W: an immediate source makes it 4 bytes long
    bool bit_operation = false;
    bool long_fixed = false;    // 4 bytes long whatever its slots bring
    bool short_branch = false;  // a short branch to {target}, which the layout measures
    // Which of the mnemonic and the operands (bits 0, 1, 2) come from a slot that is a std::string
    // ({imm}, {mem}, {mem+1}, {bit}, {target}): their text has a buffer of 16 bytes or more.
    std::uint8_t in_strings = 0;

    constexpr TemplateStep(std::string_view mnemonic_text, std::string_view operand1_text = {},
                           std::string_view operand2_text = {})
        : mnemonic(mnemonic_text),
          operand1(operand1_text),
          operand2(operand2_text),
          mnemonic_slot(slot_of(mnemonic_text)),
          slot1(slot_of(operand1_text)),
          slot2(slot_of(operand2_text)),
          word_move(mnemonic_text == "MOV.W"),
          bit_operation(is_bit_instruction(mnemonic_text)),
          long_fixed((word_move && slot1 == Slot::fixed && operand1_text.starts_with('#')) ||
                     (slot1 == Slot::fixed && is_long_operand(mnemonic_text, operand1_text)) ||
                     (slot2 == Slot::fixed && is_long_operand(mnemonic_text, operand2_text))),
          short_branch(slot1 == Slot::target && is_short_branch(mnemonic_text)),
          in_strings(
              static_cast<std::uint8_t>(in_string(mnemonic_slot) | in_string(slot1) << 1 | in_string(slot2) << 2)) {}
};

struct TemplateEntry {
    std::uint16_t key = 0;                // instruction code + form; 0 ends the table
    std::span<const TemplateStep> steps;  // empty for an instruction that is recognised but not translated
    std::string_view display;             // shown in the unsupport message when there are no steps
};

// One run of table entries sharing an instruction code: {code with low byte 0, number of entries}.
struct TemplateRun {
    std::uint16_t code = 0;
    std::uint16_t count = 0;
};
// Where the entries of one instruction code stand in the table.
struct TemplateSpan {
    std::uint16_t start = 0;
    std::uint16_t count = 0;
};

// The operand texts that template steps name as slots, filled per instruction line by operand
// rendering and branch translation.
// The register and logic slots name texts of fixed tables; the others are made per line.
struct OperandSlots {
    std::string_view reg1, reg2, logic;
    std::string_view reg1H, reg1L, reg2H, reg2L;
    std::string imm, mem, bit, target;
    std::string mem_next;  // {mem+1}: the byte after {mem}
    // The expression slots as pieces, for the syntaxes that write them differently.
    OperandPieces imm_pieces, mem_pieces, bit_pieces, target_pieces;
    // A branch target that is a fixed address: GNU as has no relative branch to one, only a jump.
    bool target_fixed = false;
    // Whether the lines get their operands as pieces too: only the GNU syntax writes from them.
    bool with_pieces = true;
};

struct TemplateIndex {
    std::vector<TemplateRun> runs;  // in the order of the table; ends with {0, 0}
    // By the high byte of the key: every instruction line looks its entry up, so at once.
    std::array<TemplateSpan, 256> by_code{};
    // By the whole key: the table position plus one, 0 for a key without an entry.
    std::span<const std::uint16_t> by_key;
};

// The text a step refers to: the content of a slot ("{reg1}", "{imm}", ...) or the text itself.
std::string_view resolve_slot(const OperandSlots& slots, std::string_view text);
// The same for a text whose slot is known.
std::string_view resolve_slot(const OperandSlots& slots, Slot slot, std::string_view text);
// The same as pieces: an expression slot's pieces, or the text as it stands ($+6 and #H'04 in
// their parts).
OperandPieces resolve_slot_pieces(const OperandSlots& slots, Slot slot, std::string_view text);

// The bytes an H8/300 instruction occupies: 4 with an absolute address, a displacement, a word
// immediate or a bit operation on memory, else 2.
std::uint16_t instruction_size(std::string_view mnemonic, std::string_view operand1, std::string_view operand2);

// One step's line with its slots filled, as views into the step and the slots: what fill_template
// makes an OutputLine of, and what the H8/300 syntax writes straight from.
struct StepLine {
    std::string_view label;
    std::string_view mnemonic;
    std::string_view operand1;
    std::string_view operand2;
    std::uint16_t size = 0;
    bool short_branch = false;       // a short branch to {target}, which the layout measures
    std::string_view branch_target;  // ... when that target is one name: the name as written
    // Which of mnemonic, operand1 and operand2 (bits 0, 1, 2) lie in a slot's std::string, whose
    // buffer holds at least 16 bytes; the others are views of fixed texts.
    std::uint8_t in_strings = 0;
};

// A translation's template lines, left to the layout to write in the H8/300 syntax without an
// OutputLine for each (most lines are these): `steps` with their slots filled, the first line
// carrying `label`, then the lines of `after`. They follow the translation's other lines.
struct TemplateLines {
    std::span<const TemplateStep> steps;
    std::string_view label;
    std::span<const TemplateStep> after;

    bool empty() const { return steps.empty() && after.empty(); }
};
// The line of `step` with the slots filled, carrying `label`.
StepLine step_line(const TemplateStep& step, const OperandSlots& slots, std::string_view label);

// The lines of a template with its slots filled; the first line carries `label`.
Translation fill_template(std::span<const TemplateStep> steps, const OperandSlots& slots, std::string_view label);
// The same lines appended to `out`.
void fill_template(std::span<const TemplateStep> steps, const OperandSlots& slots, std::string_view label,
                   Translation& out);

// The whole table, the terminating entry (key 0) included as its last element.
std::span<const TemplateEntry> template_table();
TemplateIndex build_template_index();
// The entry with this key, or the terminating entry when there is none.
const TemplateEntry& find_template(const TemplateIndex& index, std::uint16_t key);
