#include "translating/layout.h"

#include <algorithm>

#include "reading/text_scan.h"
#include "writing/gas_syntax.h"

namespace {

constexpr std::int32_t shortest_displacement = -128;
constexpr std::int32_t longest_displacement = 127;
// The bytes a pass-through line may take: any H8/300 instruction fits in four.
constexpr std::uint16_t passthrough_size = 4;
// The most a short branch grows by in its long form (BNE .+6 and JMP @LABEL for BEQ LABEL).
constexpr std::int32_t longest_growth = 4;
// A window this long means a branch waits for a label that lies far away or in another section:
// the oldest line is then decided with what is known (see `decide`).
constexpr std::size_t window_limit = 2048;

// A line whose label names its own place (an EQU or DEFL name is a value).
bool places_its_label(const OutputLine& line) {
    if (line.label.empty() || line.kind == LineKind::warning || line.kind == LineKind::passthrough) return false;
    return line.directive != Directive::equ && line.directive != Directive::assign &&
           line.directive != Directive::macro && line.directive != Directive::section;
}

std::uint16_t passthrough_bytes(std::string_view source) {
    std::string_view text = source.substr(std::min<std::size_t>(1, source.size()));
    text = text.substr(0, std::min(text.find(';'), text.size()));
    const bool empty = std::all_of(text.begin(), text.end(), is_white_space);
    return empty ? 0 : passthrough_size;
}

bool in_reach(std::int32_t displacement) {
    return displacement >= shortest_displacement && displacement <= longest_displacement;
}

}  // namespace

Layout::Layout(Context& ctx, SrcWriter& writer, BranchLabels& labels)
    : ctx_(ctx), writer_(writer), labels_(labels), gas_(ctx.settings.gas) {}

std::uint16_t Layout::size_of(const OutputLine& line, std::string_view source) const {
    if (line.kind == LineKind::passthrough) return passthrough_bytes(source);
    if (line.directive == Directive::macro_call) {
        const MacroBody* body = called_macro(line);
        return body != nullptr ? body->size : 0;
    }
    if (line.long_branch) return opposite_branch(line.mnemonic).empty() ? 4 : 6;
    return line.size;
}

// The body a macro call puts in its place, or null for a macro this file does not define.
const Layout::MacroBody* Layout::called_macro(const OutputLine& call) const {
    auto found = macros_.find(upper_case(call.mnemonic));
    return found != macros_.end() ? &found->second : nullptr;
}

void Layout::place_pending_labels(std::int32_t offset) {
    if (pending_labels_.empty()) return;
    for (const PendingLabel& label : pending_labels_) {
        if (label.holds && label.entry >= front_serial_) --entry_at(label.entry).unplaced_labels;
        // Only the labels a short branch names are measured against.
        if (label.place == nullptr) continue;
        *label.place = {section_, offset, true};
        news_ |= std::find(awaited_.begin(), awaited_.end(), label.place) != awaited_.end();
        window_labels_.push_back({label.place, label.entry});
    }
    pending_labels_.clear();
}

// Lays out `line`, line `index` of `entry` (serial number `serial`), after everything before it.
void Layout::step(const OutputLine& line, Entry& entry, std::uint64_t serial, std::size_t index,
                  std::string_view source) {
    if (line.kind == LineKind::warning || line.kind == LineKind::comment) return;
    if (line.directive == Directive::section || line.directive == Directive::macro ||
        line.directive == Directive::end_macro) {
        step_block(line);
        return;
    }
    // Most lines are instructions and data of a size of their own.
    const bool plain = line.kind != LineKind::passthrough && line.directive != Directive::macro_call;
    const std::uint16_t size = plain && !line.long_branch ? line.size : size_of(line, source);
    // A macro body takes its place where the macro is called, and its labels with it.
    if (in_macro_) {
        add_to_macro(size, line.even || line.kind == LineKind::passthrough);
        return;
    }
    if (places_its_label(line)) note_label(line.label, entry, serial, index);
    if (size == 0 && line.branch_target.empty()) return;

    std::int32_t& offset = offsets_[section_];
    if (gas_) {
        bool even = line.even || line.kind == LineKind::passthrough;
        if (line.directive == Directive::macro_call) {
            const MacroBody* body = called_macro(line);
            even = body != nullptr && body->even;
        }
        if (even && offset % 2 != 0) {
            // The padding goes in front of the labels that name this line, so that they name it still.
            if (!pending_labels_.empty() && pending_labels_.front().entry >= front_serial_) {
                entry_at(pending_labels_.front().entry).align_before.push_back(pending_labels_.front().line);
            } else {
                entry.align_before.push_back(index);
            }
            ++offset;
        }
    }
    place_sized(offset, line.branch_target, size, entry, serial, index);
}

// A template line of the H8/300 syntax, laid out as `step` lays out a code line of its texts (an
// instruction, which is even).
void Layout::step_template_line(const StepLine& line, std::uint64_t serial, std::size_t index) {
    if (in_macro_) {
        add_to_macro(line.size, true);
        return;
    }
    if (!line.label.empty()) note_label(line.label, scratch_, serial, index);
    if (line.size == 0 && line.branch_target.empty()) return;
    place_sized(offsets_[section_], line.branch_target, line.size, scratch_, serial, index);
}

// A line of a macro body: the body takes its size, and is even when its first line with a size is.
inline void Layout::add_to_macro(std::uint16_t size, bool even) {
    if (macro_.size == 0 && size != 0) macro_.even = even;
    macro_.size = static_cast<std::uint16_t>(macro_.size + size);
}

// A label that names its line's place.
inline void Layout::note_label(std::string_view label, Entry& entry, std::uint64_t serial, std::size_t index) {
    // A label takes the place of the next line with a size. In the GNU syntax the padding before
    // that line may have to go in front of the label, so the label's line waits for it; otherwise
    // only a label a branch names needs its place, and nothing waits for it.
    LabelPlace* place = measured_label(label);
    if (gas_ || place != nullptr) {
        pending_labels_.push_back({place, serial, index, gas_});
        if (gas_) ++entry.unplaced_labels;
    }
}

// A line of `size` bytes at `offset` (its section's, which it advances), with the labels waiting
// for a place and the short branch it may be.
inline void Layout::place_sized(std::int32_t& offset, std::string_view branch_target, std::uint16_t size, Entry& entry,
                                std::uint64_t serial, std::size_t index) {
    if (!pending_labels_.empty()) place_pending_labels(offset);
    if (!branch_target.empty()) {
        branches_.push_back({serial, index, {section_, offset}, measured_label(branch_target), false});
        news_ = true;
        ++entry.branches;
    }
    offset += size;
}

// A line that opens a section or a macro body, or closes a macro body.
void Layout::step_block(const OutputLine& line) {
    if (line.directive == Directive::section) {
        place_pending_labels(offsets_[section_]);
        auto known = std::find(section_names_.begin(), section_names_.end(), line.section);
        if (known == section_names_.end()) {
            section_names_.push_back(line.section);
            offsets_.push_back(0);
            known = section_names_.end() - 1;
        }
        section_ = static_cast<std::uint32_t>(known - section_names_.begin());
    } else if (line.directive == Directive::macro) {
        in_macro_ = true;
        macro_name_ = upper_case(line.operand1.substr(0, line.operand1.find(' ')));
        macro_ = {};
    } else {
        in_macro_ = false;
        macros_[macro_name_] = macro_;
    }
}

// A branch out of reach: in the GNU syntax it takes its long form, which moves everything after it
// in its section; otherwise it is reported.
void Layout::make_long(Branch& branch) {
    if (!gas_) {
        // The warning line goes in front of the translation, which the writer still holds.
        auto mark = mark_of(branch.entry);
        if (!mark->warned) {
            mark->warned = true;
            const std::size_t size = writer_.insert(mark->offset, warning_line(Warning::branch_out_of_range));
            for (auto later = mark + 1; later != marks_.end(); ++later) later->offset += size;
        }
        warnings_.emplace_back(branch.entry, mark->line_number);
        return;
    }
    Entry& entry = entry_at(branch.entry);
    OutputLine& line = entry.lines[branch.line];
    const std::uint16_t short_size = size_of(line, entry.source);
    line.long_branch = true;
    const std::int32_t growth = size_of(line, entry.source) - short_size;
    const Place at = branch.place;
    offsets_[at.section] += growth;
    for (const WindowLabel& label : window_labels_) {
        LabelPlace& place = *label.place;
        if (place.section == at.section && place.offset > at.offset) place.offset += growth;
    }
    for (Branch& other : branches_) {
        if (other.place.section == at.section && other.place.offset > at.offset) other.place.offset += growth;
    }
}

// Decides whether `branch` reaches its label; false while that depends on lines still to come.
// `forced`: decide now, with what is known (at the end of the program, or when the window is full).
bool Layout::decide(Branch& branch, bool forced) {
    // A name that never names a place here (an external, a value) is not measured.
    if (branch.target == nullptr) return true;
    const LabelPlace& target = *branch.target;
    if (!target.placed) {
        // Nor is a label that has not come by the end.
        if (finishing_) return true;
        if (!forced) return false;
        // The label is further than the window: out of reach if it is in this section.
        if (!in_reach(offsets_[branch.place.section] - (branch.place.offset + 2))) make_long(branch);
        return true;
    }
    if (target.section != branch.place.section) return true;
    const std::int32_t displacement = target.offset - (branch.place.offset + 2);
    if (!in_reach(displacement)) {
        make_long(branch);
        return true;
    }
    if (!gas_) return true;  // lengths never change: the distance is final
    // Branches between still undecided may yet take their long forms and push the label away.
    const std::int32_t low = std::min(target.offset, branch.place.offset);
    const std::int32_t high = std::max(target.offset, branch.place.offset);
    std::int32_t undecided = 0;
    for (const Branch& other : branches_) {
        if (&other == &branch || other.decided || other.place.section != branch.place.section) continue;
        if (other.place.offset >= low && other.place.offset < high) ++undecided;
    }
    const std::int32_t farthest = displacement + (displacement >= 0 ? 1 : -1) * longest_growth * undecided;
    if (undecided == 0 || in_reach(farthest)) return true;
    if (finishing_) return false;   // the end settles it once nothing grows any more
    if (forced) make_long(branch);  // the long form reaches whatever the others do
    return forced;
}

// Decides what can be decided. Nothing changes for a waiting branch until a new branch or the
// label it waits for comes.
void Layout::decide_branches(bool forced) {
    for (bool changed = forced || finishing_ || news_; changed;) {
        changed = false;
        awaited_.clear();
        for (Branch& branch : branches_) {
            if (branch.decided) continue;
            const bool force = forced && branch.entry == front_serial_;
            if (!decide(branch, force)) {
                if (!branch.target->placed) awaited_.push_back(branch.target);
                continue;
            }
            branch.decided = true;
            settled(branch.entry);
            changed = true;
        }
    }
    news_ = false;
}

// Decides what can be decided, then writes the lines that are settled from the front on.
void Layout::settle(bool forced) {
    decide_branches(forced);
    if (!gas_) {
        drop_settled_marks();
        return;
    }
    while (window_size_ != 0 && window_at(0).branches == 0 &&
           (window_at(0).unplaced_labels == 0 || forced || finishing_)) {
        write_front();
        forced = false;
    }
}

// Puts in the lines the layout adds to an entry: `.align 1` before lines that must be even, and
// the warning of a branch out of range in front.
void Layout::insert_layout_lines(Entry& entry) {
    Translation& lines = entry.lines;
    std::sort(entry.align_before.begin(), entry.align_before.end());
    for (auto at = entry.align_before.rbegin(); at != entry.align_before.rend(); ++at) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*at),
                     directive_line(Directive::align, {}, ".align", "1"));
    }
}

void Layout::write_front() {
    Entry& front = window_at(0);
    write_entry(front, front.source);
    ring_front_ = (ring_front_ + 1) & (ring_.size() - 1);
    --window_size_;
    drop_written();
}

// One branch of the translation of serial number `serial` is decided.
void Layout::settled(std::uint64_t serial) {
    if (gas_) {
        --entry_at(serial).branches;
    } else {
        --mark_of(serial)->undecided;
    }
}

// The mark of the translation of serial number `serial` (one with a branch).
std::deque<Layout::Mark>::iterator Layout::mark_of(std::uint64_t serial) {
    return std::lower_bound(marks_.begin(), marks_.end(), serial,
                            [](const Mark& mark, std::uint64_t wanted) { return mark.serial < wanted; });
}

// Forgets the translations whose branches are all decided from the oldest on, and with them the
// branches and labels before the oldest left; the writer may write its block once none is left.
void Layout::drop_settled_marks() {
    while (!marks_.empty() && marks_.front().undecided == 0) marks_.pop_front();
    front_serial_ = marks_.empty() ? next_serial_ : marks_.front().serial;
    while (!branches_.empty() && branches_.front().entry < front_serial_) branches_.pop_front();
    while (!window_labels_.empty() && window_labels_.front().entry < front_serial_) window_labels_.pop_front();
    if (marks_.empty()) writer_.release();
}

// The H8/300 syntax: a translation goes to the writer at once. A branch that may be out of reach
// changes nothing but a warning line in front of its translation, which the writer puts in its
// block when the branch is decided: the block is not written out while a branch is undecided.
void Layout::add_written(const Translation& lines, const TemplateLines& direct, std::string_view source,
                         std::uint16_t line_number) {
    const std::uint64_t serial = next_serial_++;
    scratch_.branches = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!took_bytes(lines[i])) step(lines[i], scratch_, serial, i, source);
    }
    // Held while the translation goes in: a branch in it marks where it begins.
    const std::size_t start = writer_.position();
    writer_.hold();
    bool commented = !lines.empty() && writer_.write(lines, source);
    const OperandSlots& slots = ctx_.pass2.slots;
    std::size_t index = lines.size();
    auto add_line = [&](const TemplateStep& step, std::string_view label) {
        const StepLine line = step_line(step, slots, label);
        // Most take their bytes only, as `took_bytes` has it.
        if (!in_macro_ && line.label.empty() && line.branch_target.empty()) {
            take_bytes(line.size);
        } else {
            step_template_line(line, serial, index);
        }
        ++index;
        writer_.write_code_line({line.label, line.mnemonic, line.operand1, line.operand2}, line.in_strings, source,
                                !commented);
        commented = true;
    };
    std::string_view label = direct.label;
    for (const TemplateStep& step : direct.steps) {
        add_line(step, label);
        label = {};
    }
    for (const TemplateStep& step : direct.after) add_line(step, {});
    if (scratch_.branches != 0) marks_.push_back({serial, start, line_number, scratch_.branches, false});
    if (marks_.empty()) {
        writer_.release();
        front_serial_ = next_serial_;
        while (!window_labels_.empty() && window_labels_.front().entry < front_serial_) window_labels_.pop_front();
        return;
    }
    // Nothing is decided anew before a branch or an awaited label comes.
    if (news_) settle(false);
    // A branch whose label lies far away is decided with what is known (see `decide`).
    while (!marks_.empty() && next_serial_ - front_serial_ > window_limit) settle(true);
}

// The GNU syntax: a translation waits in the window while a line before it waits, or while a
// branch in it is undecided or a label in it awaits the padding in front of it.
void Layout::add_to_window(Translation& lines, std::string_view source, std::uint16_t line_number) {
    // Most lines wait for nothing: with no line before them waiting and nothing in them that the
    // layout must place or measure, they only take their bytes and go out at once, from the
    // caller's own list. The lines before the first that does more are laid out here all the same.
    std::size_t first = 0;
    if (window_size_ == 0) {
        while (first < lines.size() && took_bytes(lines[first])) ++first;
        if (first == lines.size()) {
            writer_.write(lines, source);
            drop_written();
            return;
        }
    }
    if (window_size_ == ring_.size()) {
        // The ring is full with the entry to come: twice the room, the window from its start.
        std::vector<Entry> ring(std::max<std::size_t>(16, 2 * ring_.size()));
        for (std::size_t at = 0; at < window_size_; ++at) ring[at] = std::move(window_at(at));
        ring_ = std::move(ring);
        ring_front_ = 0;
    }
    Entry& entry = window_at(window_size_);
    entry.lines.swap(lines);  // the caller reuses the translation that had the slot
    entry.line_number = line_number;
    entry.align_before.clear();
    entry.branches = 0;
    entry.unplaced_labels = 0;
    const std::uint64_t serial = front_serial_ + window_size_;
    for (std::size_t i = first; i < entry.lines.size(); ++i) {
        if (!took_bytes(entry.lines[i])) step(entry.lines[i], entry, serial, i, source);
    }
    // A line whose own branches are decided at once (a branch back to a label) and that has no
    // label still to be placed goes out at once too when no line before it waits, without a copy
    // of its source.
    if (window_size_ == 0) {
        if (entry.branches != 0) decide_branches(false);
        if (entry.branches == 0 && entry.unplaced_labels == 0) {
            write_entry(entry, source);
            drop_written();
            // No branch is left to wait for a label.
            awaited_.clear();
            news_ = false;
            return;
        }
    }
    entry.source.assign(source);
    ++window_size_;
    settle(false);
    while (window_size_ > window_limit) settle(true);
}

void Layout::finish() {
    place_pending_labels(offsets_[section_]);
    finishing_ = true;
    settle(false);
    // What is left waits only on branches that may grow: none does once every one that is out of
    // reach has its long form, and then all the others reach.
    for (Branch& branch : branches_) {
        if (branch.decided) continue;
        branch.decided = true;
        settled(branch.entry);
    }
    settle(false);
    std::sort(warnings_.begin(), warnings_.end());
    for (const auto& warning : warnings_) ctx_.console.print("(%d) WARNING: branch out of range\n", warning.second);
}
