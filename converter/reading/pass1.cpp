#include "reading/pass1.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "reading/classifier.h"
#include "reading/extended_names.h"
#include "reading/keywords.h"
#include "reading/scanner.h"
#include "reading/source_files.h"
#include "reading/text_input.h"
#include "reading/text_scan.h"
#include "reading/work_file.h"

namespace {
constexpr std::uint16_t max_total_lines = 65500;

// Extended mode: every label is an address name from the start of pass 2, so that stores to it and
// forward references translate. A line with a name whose new spelling another name already has is
// in error: translating it would merge the two names.
std::uint16_t note_extended_names(Context& ctx, LineRecord& record) {
    if (!ctx.name_clash.empty()) {
        ctx.console.print("(%d) ERROR: name '%.16s' respelled like another name\n", ctx.includes.line_count(),
                          ctx.name_clash.c_str());
        record.code = line_code::unknown;
        return record.code;
    }
    switch (record.code) {
        case kw::IF:
        case kw::IFF:
        case kw::IFDEF:
        case kw::IFNDEF:
        case kw::IF1:
        case kw::IF2: ++ctx.condition_depth; break;
        case kw::ENDIF:
            if (ctx.condition_depth > 0) --ctx.condition_depth;
            break;
        default: break;
    }
    if (!record.label_view().empty() && record.code != kw::MACRO) {
        address_name_put(ctx.data_names, record.label_view(), ctx.condition_depth > 0);
    }
    return record.code;
}
// A record whose label names its place (an EQU or DEFL name is a value, a MACRO name a macro).
bool labels_a_place(std::uint16_t code, std::string_view label) {
    const std::uint16_t kind = code & ~line_code::error_bit;
    return !label.empty() && kind != kw::EQU && kind != kw::DEFL && kind != kw::MACRO;
}

// Pass 2 measures short branches: it needs the names JR and DJNZ branch to.
void note_branch_target(const LineRecord& record, std::string_view upper, BranchLabels& labels) {
    if ((record.code != kw::JR && record.code != kw::DJNZ) || record.col1 >= upper.size()) return;
    add_branch_target(labels, name_at(upper.substr(record.col1), upper.size()));
}

// Marks the branch targets that label a place. The work file holds every line's record, so a
// program's labels need not be kept while pass 1 reads: there are many more of them than targets.
// The records are read in large blocks and only their codes and labels looked at.
// `block` is the writer's block, whose records are all written out by now.
void mark_branch_labels(Context& ctx, std::FILE* work, std::size_t records, std::vector<unsigned char>& block) {
    if (ctx.labels.entries.empty()) return;
    if (std::fseek(work, 0, SEEK_SET) != 0) fatal(ctx.console, "\t%s Read Error\n", ctx.work_file_name.c_str());
    while (records > 0) {
        const std::size_t count = std::min(records, block.size() / record_size);
        if (std::fread(block.data(), record_size, count, work) != count) {
            fatal(ctx.console, "\t%s Read Error\n", ctx.work_file_name.c_str());
        }
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char* bytes = block.data() + i * record_size;
            if (bytes[7] == 0) continue;  // no label
            const std::string_view label = encoded_label(bytes);
            if (!labels_a_place(encoded_code(bytes), label)) continue;
            if (BranchLabel* target = find_branch_target_upper_padded(ctx.labels, label.data(), label.size())) {
                target->is_label = true;
            }
        }
        records -= count;
    }
}

}  // namespace

void run_pass1(Context& ctx) {
    ctx.console.write("Pass1: Analize HD64180 Source program\n");
    open_main_source(ctx);
    create_work_file(ctx);
    WorkWriter work;
    work.file = ctx.work_file.get();
    ctx.includes.levels[0].line_count = 0;
    ctx.total_lines = 0;

    std::size_t records = 0;   // written for the lines read, before the END record
    std::string_view written;  // the line as the source spells it
    std::string respelled;     // extended mode: the line with its names respelled, read in its place
    // The line upper-cased, as keywords, registers and names are matched: written into a buffer
    // that grows to the longest line and is then only written over.
    std::vector<char> upper_buffer(max_line_chars + 1);
    LineRecord record;
    for (;;) {
        record = LineRecord{};
        if (!read_source_line(ctx, written)) break;
        if (ctx.total_lines == max_total_lines) {
            ctx.console.print("\tLine max over .. Convert %dline\n", ctx.total_lines);
            close_sources(ctx);
            break;
        }
        ++ctx.total_lines;
        ++ctx.includes.current().line_count;
        if (ctx.settings.extended) {
            respelled = respell_names(written, &ctx.spellings, &ctx.name_clash);
            written = respelled;
        }
        if (upper_buffer.size() < written.size()) upper_buffer.resize(written.size());
        upper_case_to(upper_buffer.data(), written);
        const std::string_view upper(upper_buffer.data(), written.size());
        std::uint16_t code = scan_line(ctx, upper, record);
        if (ctx.settings.extended) code = note_extended_names(ctx, record);
        // LD and DW are the only lines with a named access.
        bool may_name_access = code == kw::DW;
        if (is_instruction(code)) {
            classify_nul_free_operands(ctx, upper, record);  // the reader cuts a line at a NUL
            note_branch_target(record, upper, ctx.labels);
            may_name_access = record.code == kw::LD;
        } else if (code == kw::INCLUDE) {  // also MACLIB
            open_include(ctx, include_name_at(upper, record.col1), include_name_at(written, record.col1));
        } else if (code == kw::END) {  // END: nothing after it is read, in whatever file it stands
            break;
        }
        if (may_name_access) {
            if (const NamedAccess access = named_access(record, upper); access.kind != Access::none) {
                note_access(ctx.memory_access, access);
            }
        }
        write_work_record(ctx, work, record);
        ++records;
    }
    // The END record, or an all-zero record, ends the stream.
    write_work_record(ctx, work, record);
    finish_work_file(ctx, work);
    // The labels pass 2 measures short branches against: those a JR or DJNZ names.
    mark_branch_labels(ctx, work.file, records, work.block);
}
