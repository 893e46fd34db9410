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

// One H8/300 line, without a label (the first line of a translation gets the source line's).
// Empty texts are absent.
struct TemplateStep {
    std::string_view mnemonic;
    std::string_view operand1;
    std::string_view operand2;
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
struct TemplateIndex {
    std::vector<TemplateRun> runs;  // in the order of the table; ends with {0, 0}
    // By the high byte of the key: every instruction line looks its entry up, so at once.
    std::array<TemplateSpan, 256> by_code{};
};

// The operand texts that template steps name as slots, filled per instruction line by operand
// rendering and branch translation.
struct OperandSlots {
    std::string reg1, reg2, imm, mem, bit, target, logic;
    std::string mem_next;  // {mem+1}: the byte after {mem}
    std::string reg1H, reg1L, reg2H, reg2L;
    // The expression slots as pieces, for the syntaxes that write them differently.
    OperandPieces imm_pieces, mem_pieces, bit_pieces, target_pieces;
    // A branch target that is a fixed address: GNU as has no relative branch to one, only a jump.
    bool target_fixed = false;
    // Whether the lines get their operands as pieces too: only the GNU syntax writes from them.
    bool with_pieces = true;
};

// The text a step refers to: the content of a slot ("{reg1}", "{imm}", ...) or the text itself.
std::string_view resolve_slot(const OperandSlots& slots, std::string_view text);
// The same as pieces: an expression slot's pieces, or the text as it stands ($+6 and #H'04 in
// their parts).
OperandPieces resolve_slot_pieces(const OperandSlots& slots, std::string_view text);

// The bytes an H8/300 instruction occupies: 4 with an absolute address, a displacement, a word
// immediate or a bit operation on memory, else 2.
std::uint16_t instruction_size(std::string_view mnemonic, std::string_view operand1, std::string_view operand2);

// The lines of a template with its slots filled; the first line carries `label`.
Translation fill_template(std::span<const TemplateStep> steps, const OperandSlots& slots, std::string_view label);

// The whole table, the terminating entry (key 0) included as its last element.
std::span<const TemplateEntry> template_table();
TemplateIndex build_template_index();
// The entry with this key, or the terminating entry when there is none.
const TemplateEntry& find_template(const TemplateIndex& index, std::uint16_t key);
