#include "translating/layout.h"

#include <algorithm>
#include <unordered_map>

#include "reading/text_scan.h"
#include "writing/gas_syntax.h"

namespace {

constexpr std::int32_t shortest_displacement = -128;
constexpr std::int32_t longest_displacement = 127;
// The bytes a pass-through line may take: any H8/300 instruction fits in four.
constexpr std::uint16_t passthrough_size = 4;

struct Position {
    std::size_t entry = 0;
    std::size_t line = 0;
};

struct Place {
    std::string section;
    std::int32_t offset = 0;
};

struct Branch {
    Position at;
    Place place;
    std::string target;  // upper case
};

// What one walk over the program finds.
struct Walk {
    std::unordered_map<std::string, Place> labels;
    std::vector<Branch> branches;
    std::vector<Position> alignments;  // lines after which GNU as must go on at an even address
};

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

class Walker {
public:
    Walker(const std::vector<TranslatedLine>& program, bool pad) : program_(program), pad_(pad) {}

    Walk run() {
        for (std::size_t e = 0; e < program_.size(); ++e) {
            const Translation& lines = program_[e].lines;
            for (std::size_t j = 0; j < lines.size(); ++j) step(lines[j], {e, j}, program_[e].source);
        }
        flush_pending(0);
        return std::move(walk_);
    }

private:
    std::uint16_t size_of(const OutputLine& line, std::string_view source) const {
        if (line.kind == LineKind::passthrough) return passthrough_bytes(source);
        if (line.directive == Directive::macro_call) {
            auto found = macros_.find(upper_case(line.mnemonic));
            return found != macros_.end() ? found->second.size : 0;
        }
        if (line.long_branch) return opposite_branch(line.mnemonic).empty() ? 4 : 6;
        return line.size;
    }

    void flush_pending(std::int32_t padding) {
        for (const std::string& label : pending_labels_) walk_.labels[label] = {section_, offsets_[section_] + padding};
        pending_labels_.clear();
    }

    void step(const OutputLine& line, Position at, std::string_view source) {
        if (line.kind == LineKind::warning || line.kind == LineKind::comment) return;
        if (line.directive == Directive::section) {
            flush_pending(0);
            section_ = line.section;
            return;
        }
        if (line.directive == Directive::macro) {
            in_macro_ = true;
            macro_name_ = upper_case(line.operand1.substr(0, line.operand1.find(' ')));
            macro_ = {};
            return;
        }
        if (line.directive == Directive::end_macro) {
            in_macro_ = false;
            macros_[macro_name_] = macro_;
            return;
        }
        const std::uint16_t size = size_of(line, source);
        // A macro body takes its place where the macro is called, and its labels with it.
        if (in_macro_) {
            if (macro_.size == 0 && size != 0) macro_.even = line.even || line.kind == LineKind::passthrough;
            macro_.size = static_cast<std::uint16_t>(macro_.size + size);
            return;
        }
        if (places_its_label(line)) pending_labels_.push_back(upper_case(line.label));
        if (size == 0 && line.branch_target.empty()) return;

        std::int32_t& offset = offsets_[section_];
        bool even = line.even || line.kind == LineKind::passthrough;
        if (line.directive == Directive::macro_call) {
            auto found = macros_.find(upper_case(line.mnemonic));
            even = found != macros_.end() && found->second.even;
        }
        std::int32_t padding = 0;
        if (pad_ && even && offset % 2 != 0) {
            padding = 1;
            if (auto last = last_sized_.find(section_); last != last_sized_.end()) {
                walk_.alignments.push_back(last->second);
            }
        }
        offset += padding;
        flush_pending(0);
        if (!line.branch_target.empty()) {
            walk_.branches.push_back({at, {section_, offset}, upper_case(line.branch_target)});
        }
        offset += size;
        last_sized_[section_] = at;
    }

    const std::vector<TranslatedLine>& program_;
    bool pad_;
    Walk walk_;
    std::string section_ = ".text";
    std::unordered_map<std::string, std::int32_t> offsets_;
    std::unordered_map<std::string, Position> last_sized_;
    std::vector<std::string> pending_labels_;
    // What a macro's call puts in its place: its bytes, and whether they start with an instruction
    // or a word. (Alignment inside a body is the body's own.)
    struct MacroBody {
        std::uint16_t size = 0;
        bool even = false;
    };
    std::unordered_map<std::string, MacroBody> macros_;
    bool in_macro_ = false;
    std::string macro_name_;
    MacroBody macro_;
};

// Whether the branch cannot reach its label with an 8-bit displacement.
bool out_of_reach(const Walk& walk, const Branch& branch) {
    auto found = walk.labels.find(branch.target);
    if (found == walk.labels.end() || found->second.section != branch.place.section) return false;
    const std::int32_t displacement = found->second.offset - (branch.place.offset + 2);
    return displacement < shortest_displacement || displacement > longest_displacement;
}

OutputLine& line_at(std::vector<TranslatedLine>& program, Position at) { return program[at.entry].lines[at.line]; }

}  // namespace

void lay_out(Context& ctx, std::vector<TranslatedLine>& program) {
    const bool gas = ctx.settings.gas;
    Walk walk = Walker(program, gas).run();
    if (!gas) {
        for (const Branch& branch : walk.branches) {
            if (!out_of_reach(walk, branch)) continue;
            TranslatedLine& entry = program[branch.at.entry];
            ctx.console.print("(%d) WARNING: branch out of range\n", entry.line_number);
            entry.lines.insert(entry.lines.begin(), warning_line(Warning::branch_out_of_range));
        }
        return;
    }
    // A long branch moves the labels after it, which can put further branches out of reach; the
    // long forms only grow, so this ends.
    for (bool changed = true; changed;) {
        changed = false;
        for (const Branch& branch : walk.branches) {
            OutputLine& line = line_at(program, branch.at);
            if (line.long_branch || !out_of_reach(walk, branch)) continue;
            line.long_branch = true;
            changed = true;
        }
        if (changed) walk = Walker(program, gas).run();
    }
    // From the last line on, so that the positions before stay valid.
    std::sort(walk.alignments.begin(), walk.alignments.end(),
              [](Position a, Position b) { return a.entry != b.entry ? a.entry > b.entry : a.line > b.line; });
    walk.alignments.erase(std::unique(walk.alignments.begin(), walk.alignments.end(),
                                      [](Position a, Position b) { return a.entry == b.entry && a.line == b.line; }),
                          walk.alignments.end());
    for (Position at : walk.alignments) {
        Translation& lines = program[at.entry].lines;
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at.line) + 1, code_line({}, ".align", "1"));
    }
}
