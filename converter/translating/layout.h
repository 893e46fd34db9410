// The layout of the translated program: where each H8/300 line lands in its section. A translation
// is longer than its HD64180 line, so a short branch that reached its label on the HD64180 may not
// on the H8/300; and the H8/300 runs instructions and reads words at even addresses only.
//
// In the GNU syntax the lines pass 2 translates go through a window on their way to the writer: a
// line leaves it as soon as its branches are measured, which needs the lines up to the branch's
// label and no more. In the H8/300 syntax a measure changes nothing but a warning line in front of
// the branch's translation: every translation goes to the writer at once, and the writer holds its
// lines until the warning lines are in. Either way it is a few lines in any real program, and at
// most a fixed number, so memory does not grow with the source.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "driver/context.h"
#include "translating/templates.h"
#include "writing/output_line.h"
#include "writing/output_writer.h"

// Measures the short branches to labels of the same section. In the GNU syntax a branch out of
// reach is written in its long form and `.align 1` lines are put where data leaves an odd address
// before an instruction or a word; otherwise such a branch is reported on the console (after the
// other messages of pass 2) and gets a warning line.
class Layout {
public:
    // `labels`: the labels of the whole program that a JR or DJNZ names and that can name a place
    // (pass 1 saw them all), so that a branch to any other name is known not to be measurable at
    // once; the layout places them.
    Layout(Context& ctx, SrcWriter& writer, BranchLabels& labels);

    // Takes one source line's translation: in the H8/300 syntax `lines` is left as it is; in the
    // GNU syntax it is left with a spent translation, or the one given when that went out at once.
    // Writes the lines that are settled.
    // `direct`: template lines that follow `lines` (the H8/300 syntax only), written from their
    // steps and the line's slots.
    void add(Translation& lines, const TemplateLines& direct, std::string_view source, std::uint16_t line_number) {
        if (gas_) {
            add_to_window(lines, source, line_number);
        } else {
            add_written(lines, direct, source, line_number);
        }
    }
    // Settles and writes the rest, then reports the branches out of range.
    void finish();

private:
    struct Place {
        std::uint32_t section = 0;  // an index into section_names_
        std::int32_t offset = 0;
    };
    struct Entry {
        Translation lines;
        std::string source;  // kept once the entry waits in the window
        std::uint16_t line_number = 0;
        std::vector<std::size_t> align_before;  // GNU syntax: `.align 1` before these lines
        std::size_t branches = 0;               // of its branches, how many are not yet decided
        std::size_t unplaced_labels = 0;        // labels on its lines still waiting for a place
    };
    struct Branch {
        std::uint64_t entry = 0;  // serial number of its entry
        std::size_t line = 0;
        Place place;
        LabelPlace* target = nullptr;  // null for a name no short branch can be measured against
        bool decided = false;
    };
    struct PendingLabel {
        LabelPlace* place = nullptr;  // null for a label no branch names
        std::uint64_t entry = 0;
        std::size_t line = 0;
        bool holds = false;  // its entry waits for it (counted in `unplaced_labels`)
    };
    struct WindowLabel {
        LabelPlace* place = nullptr;
        std::uint64_t entry = 0;
    };
    // The H8/300 syntax: a translation with a branch, where it begins in the writer's block.
    struct Mark {
        std::uint64_t serial = 0;
        std::size_t offset = 0;
        std::uint16_t line_number = 0;
        std::size_t undecided = 0;  // of its branches
        bool warned = false;        // its warning line is in place
    };
    std::deque<Mark>::iterator mark_of(std::uint64_t serial);
    struct MacroBody {
        std::uint16_t size = 0;
        bool even = false;
    };

    // A line that only takes its bytes where it stands: no label, no branch, nothing that opens or
    // closes a block, a size of its own. Outside a macro body it changes nothing else in the layout.
    bool takes_bytes_only(const OutputLine& line) const {
        if (!line.label.empty() || !line.branch_target.empty() || line.long_branch ||
            line.kind == LineKind::passthrough || line.directive == Directive::section ||
            line.directive == Directive::macro || line.directive == Directive::end_macro ||
            line.directive == Directive::macro_call) {
            return false;
        }
        // In the GNU syntax a line that must be even at an odd offset gets padding.
        return !gas_ || !line.even || line.size == 0 || offsets_[section_] % 2 == 0;
    }
    // Lays out a line that only takes its bytes, as most lines do (what `step` does for it, without
    // its other cases); false, with nothing done, for any other line.
    bool took_bytes(const OutputLine& line) {
        if (in_macro_ || !takes_bytes_only(line)) return false;
        take_bytes(line.size);
        return true;
    }
    // A line of `size` bytes that only takes them where it stands, the labels before it placed there.
    void take_bytes(std::uint16_t size) {
        if (size == 0) return;
        if (!pending_labels_.empty()) place_pending_labels(offsets_[section_]);
        offsets_[section_] += size;
    }
    std::uint16_t size_of(const OutputLine& line, std::string_view source) const;
    const MacroBody* called_macro(const OutputLine& call) const;
    LabelPlace* measured_label(std::string_view name) { return branch_label_place(labels_, name); }
    void step(const OutputLine& line, Entry& entry, std::uint64_t serial, std::size_t index, std::string_view source);
    void step_template_line(const StepLine& line, std::uint64_t serial, std::size_t index);
    void add_to_macro(std::uint16_t size, bool even);
    void note_label(std::string_view label, Entry& entry, std::uint64_t serial, std::size_t index);
    void place_sized(std::int32_t& offset, std::string_view branch_target, std::uint16_t size, Entry& entry,
                     std::uint64_t serial, std::size_t index);
    void step_block(const OutputLine& line);
    void place_pending_labels(std::int32_t offset);
    bool decide(Branch& branch, bool forced);
    void make_long(Branch& branch);
    void decide_branches(bool forced);
    void settle(bool forced);
    void insert_layout_lines(Entry& entry);
    void write_entry(Entry& entry, std::string_view source) {
        if (!entry.align_before.empty()) insert_layout_lines(entry);
        writer_.write(entry.lines, source);
    }
    void write_front();
    void settled(std::uint64_t serial);
    void add_written(const Translation& lines, const TemplateLines& direct, std::string_view source,
                     std::uint16_t line_number);
    void add_to_window(Translation& lines, std::string_view source, std::uint16_t line_number);
    void drop_settled_marks();
    // Forgets the branches and labels of the entry just written.
    void drop_written() {
        ++front_serial_;
        while (!branches_.empty() && branches_.front().entry < front_serial_) branches_.pop_front();
        while (!window_labels_.empty() && window_labels_.front().entry < front_serial_) window_labels_.pop_front();
    }
    // Entry `at` of the window; the one at window_size_ is the entry being added, until it joins.
    Entry& window_at(std::size_t at) { return ring_[(ring_front_ + at) & (ring_.size() - 1)]; }
    Entry& entry_at(std::uint64_t serial) { return window_at(static_cast<std::size_t>(serial - front_serial_)); }

    Context& ctx_;
    SrcWriter& writer_;
    BranchLabels& labels_;
    const bool gas_;

    // The window: window_size_ entries from ring_front_ on, in a ring whose size is a power of two
    // and which always has room for the entry being added. Its slots are used again and again, so
    // that an entry that waits takes no new memory for its source line.
    std::vector<Entry> ring_;
    std::size_t ring_front_ = 0;
    std::size_t window_size_ = 0;
    std::uint64_t front_serial_ = 0;         // serial number of the window's first entry
    std::deque<Branch> branches_;            // the window's branches in order, decided or not
    std::deque<WindowLabel> window_labels_;  // the labels placed since the front of the window
    std::vector<PendingLabel> pending_labels_;
    std::vector<const LabelPlace*> awaited_;  // the labels undecided branches wait for
    bool news_ = false;                       // a branch or an awaited label came since the last decisions
    // The H8/300 syntax has no window: the translations with branches still undecided (the oldest
    // at front_serial_), and the serial number of the next translation.
    std::deque<Mark> marks_;
    std::uint64_t next_serial_ = 0;
    Entry scratch_;  // what `step` counts for the translation being added

    std::vector<std::string> section_names_{".text"};
    std::uint32_t section_ = 0;
    std::vector<std::int32_t> offsets_{0};  // per section: the bytes laid out so far
    std::unordered_map<std::string, MacroBody> macros_;
    bool in_macro_ = false;
    std::string macro_name_;
    MacroBody macro_;

    bool finishing_ = false;
    // The branches out of range: the serial number of the entry and its line number.
    std::vector<std::pair<std::uint64_t, std::uint16_t>> warnings_;
};
