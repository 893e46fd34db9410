// The state of one srcport conversion. One Context is created per run and passed by reference to
// every pass and translator; nothing else holds mutable state, so a test can run a conversion in
// a fresh Context and read what it printed from `console`.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "driver/console.h"
#include "driver/file_handle.h"
#include "driver/replaced_file.h"
#include "expressions/evaluator.h"
#include "reading/branch_labels.h"
#include "reading/extended_names.h"
#include "reading/memory_access.h"
#include "reading/name_tables.h"
#include "reading/text_input.h"
#include "translating/templates.h"

// Settings taken from the command line.
struct Settings {
    std::uint16_t data_name_max = 1000;
    std::uint16_t macro_name_max = 100;
    bool copy_h8_area = false;     // /H
    bool little_endian = false;    // --little-endian: words in data memory keep the HD64180's order
    bool extended = false;         // --extended, /X: the conventions of the CP/M-era relocating assemblers
    bool gnu_diagnostics = false;  // --diagnostics=gnu: line messages as FILE:LINE: error: TEXT
    bool fail_on_error = false;    // --fail-on-error: exit status 2 when a line was reported as an error
    bool gas = false;              // --gas: the H8/300 file in the syntax of GNU as
    std::string source_path;
    std::string output_path;
    std::string symbolic_path;
    std::string script_path;           // with --gas: the linker script beside the output
    std::string include_path;          // the source path; include names replace the part after include_name_pos
    std::size_t include_name_pos = 0;  // where the source's directory part ends
};

struct SourceLevel {
    TextFile file;
    std::string path;         // as the messages name it
    std::string opened_path;  // the file actually opened, which is what an editor needs
    std::uint16_t line_count = 0;
};

// The main source file (level 0) and up to four nested include files.
struct IncludeStack {
    static constexpr int max_level = 4;
    std::array<SourceLevel, max_level + 1> levels;
    int include_level = 0;
    // The directories searched for an include name in another letter case: the names of their
    // files by the lower-case name, listed once per run.
    std::map<std::string, std::multimap<std::string, std::string>> listings;

    SourceLevel& current() { return levels[static_cast<std::size_t>(include_level)]; }
    std::uint16_t line_count() const { return levels[static_cast<std::size_t>(include_level)].line_count; }
};

// The kind of the last arithmetic instruction, which decides how DAA adjusts.
enum class Arithmetic : std::uint8_t { unknown, addition, subtraction };

// A section of the GNU output and, where the source fixes it, its address.
struct GasSection {
    std::string name;
    bool code = true;
    bool fixed = false;
    std::uint16_t address = 0;
};

// How the GNU output divides the program: each ORG or AT address opens a section of its own, and
// each kind of segment (code, data) goes on in the section it was last in.
struct GasSections {
    std::vector<GasSection> sections;  // in the order they are opened
    std::string code_section = ".ROM";
    std::string data_section = ".RAM";
};

// What pass 2 carries from one line to the next.
struct Pass2State {
    bool z_flag_unknown = true;   // the Z flag a conditional branch sees may differ from the HD64180's
    bool s_flag_unknown = true;   // likewise the sign (N on the H8/300), read by P and M
    bool c_flag_unknown = false;  // the carry holds a block compare's count, not the HD64180's carry
    Arithmetic last_arithmetic = Arithmetic::unknown;
    std::uint16_t location_counter = 0;
    bool data_section = false;
    std::vector<std::uint16_t> open_blocks;  // extended mode: the MACRO, REPT, IRP, IRPC awaiting ENDM
    // The names DS defines: GNU as places them as labels, so they are not plain values there.
    std::unordered_set<std::string> reserved_names;
    GasSections gas_sections;
    // The operand slots of the instruction line being translated. Every instruction line fills
    // them: kept from one line to the next, they are not made and freed per line, and their texts
    // keep the room they have grown.
    OperandSlots slots;
};

struct Context {
    Console console;
    Settings settings;
    DataNameTable data_names;
    MacroNameTable macro_names;
    EvalState eval;
    TemplateIndex template_index;

    IncludeStack includes;
    MemoryAccessTable memory_access;  // filled in pass 1: names accessed as bytes and as words
    NameSpellings spellings;          // extended mode: the names respelled so far
    std::string name_clash;           // extended mode: a name of the line just read whose new spelling is taken
    char comment_delimiter = 0;       // extended mode, pass 1: inside a .COMMENT block, the character ending it
    int condition_depth = 0;          // extended mode, pass 1: how many IF blocks are open
    std::uint16_t total_lines = 0;
    // The labels a JR or DJNZ branches to: pass 1 notes them, pass 2 places them.
    BranchLabels labels;
    File work_file;              // written by pass 1, handed to pass 2's record cursor
    std::string work_file_name;  // as created, for the messages about it
    FileAccess files;            // on disk (the program's signal cleanup list) or in memory

    Pass2State pass2;

    Context() = default;
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};
