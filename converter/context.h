// The state of one srcport conversion. One Context is created per run and passed by reference to
// every pass and translator; nothing else holds mutable state, so a test can run a conversion in
// a fresh Context and read what it printed from `console`.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "console.h"
#include "evaluator.h"
#include "line_record.h"
#include "name_tables.h"
#include "templates.h"
#include "text_input.h"

// Settings taken from the command line.
struct Settings {
    std::uint16_t data_name_max = 1000;
    std::uint16_t macro_name_max = 100;
    bool copy_h8_area = false;  // /H
    std::string source_path;
    std::string output_path;
    std::string symbolic_path;
    std::string include_path;          // the source path; include names replace the part after include_name_pos
    std::size_t include_name_pos = 0;  // where the source's directory part ends
};

struct SourceLevel {
    TextFile file;
    std::string path;  // as opened
    std::uint16_t line_count = 0;
};

// The main source file (level 0) and up to four nested include files.
struct IncludeStack {
    static constexpr int max_level = 4;
    std::array<SourceLevel, max_level + 1> levels;
    int include_level = 0;

    SourceLevel& current() { return levels[static_cast<std::size_t>(include_level)]; }
    std::uint16_t line_count() const { return levels[static_cast<std::size_t>(include_level)].line_count; }
};

// Pass 2 reads records through a window of 192: the 48 records before the current one and at
// least the 48 after it are always at hand.
struct RecordWindow {
    static constexpr std::size_t size = 192;
    static constexpr std::size_t half = 96;
    std::array<LineRecord, size> slots{};
};

// The operand slots that template steps refer to, filled per instruction line.
struct OperandSlots {
    std::string reg1, reg2, imm, mem, bit, target, logic;
    std::string reg1H, reg1L, reg2H, reg2L;
};

struct Pass2State {
    RecordWindow window;
    std::size_t current_slot = RecordWindow::half;
    std::uint16_t record_number = 0;  // 1-based number of the current record

    std::string lookahead_line;  // the next source line, already read by the JR merge
    bool lookahead_pending = false;

    std::FILE* output = nullptr;  // the .SRC file
    std::FILE* work = nullptr;    // the work file, read back
    std::string out_line;         // the output line under construction
    std::string label_text;       // the current line's label

    OperandSlots slots;
    bool z_flag_unknown = true;  // the Z flag a conditional branch sees may differ from the HD64180's
    std::uint16_t location_counter = 0;
    bool data_section = false;
};

struct Context {
    Console console;
    Settings settings;
    DataNameTable data_names;
    MacroNameTable macro_names;
    EvalState eval;
    TemplateIndex template_index;

    IncludeStack includes;
    std::string line_buffer;  // the current source line, always ending with its newline
    std::uint16_t total_lines = 0;
    int work_lock_fd = -1;  // advisory lock on the work file, held from pass 1 to the end of pass 2

    Pass2State pass2;

    Context() = default;
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
};

inline constexpr const char* work_file_name = "$TRSH8.$$$";
