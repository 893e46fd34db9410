// The instruction templates: for every (instruction code, operand form) pair the converter can
// translate, the H8/300 lines it becomes. Operand texts that name a slot ("{reg1}", "{imm}", ...)
// are filled per line by operand rendering and branch translation.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

// One H8/300 line. Empty texts are absent; the label of a table step is always empty (the
// dispatcher passes the line's label to the writer instead).
struct TemplateStep {
    std::string_view label;
    std::string_view mnemonic;
    std::string_view operand1;
    std::string_view operand2;
};

struct TemplateEntry {
    std::uint16_t key = 0;  // instruction code + form; 0 ends the table
    std::span<const TemplateStep> steps;  // empty for an instruction that is recognised but not translated
    std::string_view display;             // shown in the unsupport message when there are no steps
};

// One run of table entries sharing an instruction code: {code with low byte 0, number of entries}.
struct TemplateRun {
    std::uint16_t code = 0;
    std::uint16_t count = 0;
};
using TemplateIndex = std::vector<TemplateRun>;  // ends with {0, 0}

// The whole table, the terminating entry (key 0) included as its last element.
std::span<const TemplateEntry> template_table();
TemplateIndex build_template_index();
// The entry with this key, or the terminating entry when there is none.
const TemplateEntry& find_template(const TemplateIndex& index, std::uint16_t key);
