// One line of the H8/300 source as a value: what a translator produced for a source line, before
// the writer lays it out in columns. A source line's translation is a list of them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reading/line_record.h"

enum class LineKind : std::uint8_t {
    code,         // label, mnemonic and operands: an instruction or a directive
    label_only,   // the label alone, written as "label .EQU $"
    comment,      // nothing but the comment field
    error,        // a line that could not be translated, with a placeholder of its size
    passthrough,  // H8/300 text the source carried behind a backslash
    warning,      // a warning line in front of a translation
};

enum class Warning : std::uint8_t { none, z_flag_unknown, c_flag_unknown, daa_unknown, byte_order, redefinition };

struct OutputLine {
    LineKind kind = LineKind::code;
    std::string label;
    std::string mnemonic;  // for an error line: the placeholder ("NOP", "DS" or nothing)
    std::string operand1;  // for an error line: the size the placeholder reserves
    std::string operand2;
    Warning warning = Warning::none;
};

// The lines one source line became. The first line that is not a warning carries the source line
// in its comment field.
using Translation = std::vector<OutputLine>;

inline OutputLine code_line(std::string label, std::string mnemonic, std::string operand1 = {},
                            std::string operand2 = {}) {
    return {LineKind::code, std::move(label), std::move(mnemonic), std::move(operand1), std::move(operand2)};
}

inline OutputLine warning_line(Warning warning) {
    OutputLine line;
    line.kind = LineKind::warning;
    line.warning = warning;
    return line;
}

// The label-only, comment or error line of a record, chosen by its code.
OutputLine source_line_of(const LineRecord& record);
