// One line of the H8/300 source as a value: what a translator produced for a source line, before
// the writer lays it out in columns. A source line's translation is a list of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

enum class Warning : std::uint8_t {
    none,
    z_flag_unknown,
    s_flag_unknown,
    c_flag_unknown,
    daa_unknown,
    byte_order,
    redefinition,
    branch_out_of_range,
};

// One piece of an operand, kept apart so that each output syntax can write it its own way.
enum class PieceKind : std::uint8_t {
    text,            // written as it stands in every syntax: "#", "@(", ",R4)", a register, a comma
    number,          // `value`: H'1F, or 0x1F for GNU as
    name,            // a symbol as the source spells it
    parameter,       // a macro parameter used in the body (\NAME)
    parameter_name,  // a macro parameter named in the macro's head
    location,        // the location counter: $, or . for GNU as
    open,            // (
    close,           // )
    unary,           // a unary operator character in `text`: + - ~
    binary,          // a binary operator character in `text`, as the H8/300 writes it (~ is exclusive or)
    high,            // HIGH
    low,             // LOW
    string,          // the characters of a string in `text`, without quotes
};

struct Piece {
    PieceKind kind = PieceKind::text;
    std::string text;
    std::uint16_t value = 0;
};

// An operand as pieces. A unary ~ keeps the operand's width, which GNU as does not know.
struct OperandPieces {
    std::vector<Piece> pieces;
    bool byte_wide = false;

    bool empty() const { return pieces.empty(); }
};

// What a line is for the assembler, where the GNU syntax writes it differently.
enum class Directive : std::uint8_t {
    none,  // an instruction (or a line that is no directive)
    section,
    equ,
    assign,
    data_byte,
    data_word,
    string,
    reserve,
    export_names,
    import_names,
    macro,
    end_macro,
    macro_call,
    program,
    heading,
    list,
    nolist,
    page,
    end,
    if_true,            // a conditional block: .AIF / .if
    if_else,            // .AELSE / .else
    end_if,             // .AENDI / .endif
    repeat,             // a repeat block: .AREPEAT / .rept
    end_repeat,         // .AENDR / .endr
    repeat_values,      // GNU syntax: .irp NAME,A,B,C
    repeat_characters,  // GNU syntax: .irpc NAME,CHARS
    align,              // GNU syntax: .align 1, to an even address
};

struct OutputLine {
    LineKind kind = LineKind::code;
    std::string label;
    std::string mnemonic;  // for an error line: the placeholder ("NOP", "DS" or nothing)
    std::string operand1;  // for an error line: the size the placeholder reserves
    std::string operand2;
    Warning warning = Warning::none;

    // What the GNU syntax and the layout of the file need beyond the texts above.
    Directive directive = Directive::none;
    OperandPieces pieces1;  // operand1 as pieces (empty when operand1 is empty)
    OperandPieces pieces2;
    std::string section;        // a section line: the GNU section name
    bool code_section = false;  // ... and whether it holds code
    std::uint16_t size = 0;     // bytes the line occupies (a macro call: see the layout)
    bool even = false;          // an instruction or word datum, which must start at an even address
    std::string branch_target;  // a short branch to a name: the name as the source spells it
    bool long_branch = false;   // written in its long form (out of reach of an 8-bit displacement)

    OutputLine() = default;
    // A code line of these texts, each made once from its view.
    OutputLine(std::string_view label_text, std::string_view mnemonic_text, std::string_view operand1_text,
               std::string_view operand2_text)
        : label(label_text), mnemonic(mnemonic_text), operand1(operand1_text), operand2(operand2_text) {}
};

// The lines one source line became. The first line that is not a warning carries the source line
// in its comment field.
using Translation = std::vector<OutputLine>;

inline OutputLine code_line(std::string label, std::string mnemonic, std::string operand1 = {},
                            std::string operand2 = {}) {
    OutputLine line;
    line.label = std::move(label);
    line.mnemonic = std::move(mnemonic);
    line.operand1 = std::move(operand1);
    line.operand2 = std::move(operand2);
    return line;
}

// A directive line whose operand is the pieces given (its text in the H8/300 syntax is `operand1`).
inline OutputLine directive_line(Directive directive, std::string label, std::string mnemonic,
                                 std::string operand1 = {}, OperandPieces pieces1 = {}) {
    OutputLine line = code_line(std::move(label), std::move(mnemonic), std::move(operand1));
    line.directive = directive;
    line.pieces1 = std::move(pieces1);
    return line;
}

inline OutputLine warning_line(Warning warning) {
    OutputLine line;
    line.kind = LineKind::warning;
    line.warning = warning;
    return line;
}

// The label-only, comment or error line of a record, chosen by its code.
OutputLine source_line_of(const LineRecord& record);
// The same, made in `line` (a new one).
void put_source_line(const LineRecord& record, OutputLine& line);
