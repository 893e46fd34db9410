#include "reading/branch_labels.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "reading/padded_name.h"
#include "reading/text_scan.h"

namespace {

constexpr std::size_t longest_label = padded_name_bytes;  // a label has at most 16 characters

// A name of at most 16 characters upper-cased, as two numbers, with its hash.
struct FoldedName {
    PaddedName name;
    std::size_t length = 0;
    std::uint64_t hash = 0;
};

// `name`, in upper case already, as a key.
inline FoldedName key_name(const PaddedName& name, std::size_t length) {
    FoldedName folded;
    folded.name = name;
    folded.length = length;
    folded.hash = padded_name_hash(folded.name);
    return folded;
}

// `name` is upper-cased into a key.
inline FoldedName fold_name(const PaddedName& name, std::size_t length) {
    return key_name(PaddedName{upper_case_eight(name.low), upper_case_eight(name.high)}, length);
}

// `padded` holds the name's `length` bytes and may go on with any bytes up to 16.
inline FoldedName fold_padded(const char* padded, std::size_t length) {
    return fold_name(padded_name(padded, length), length);
}

FoldedName fold(std::string_view name) { return fold_name(padded_name_of(name), name.size()); }

// Entry `number` (counted from one) holds the name: its key is the name's, and so is its length,
// which tells a name apart from one with NULs behind it.
bool same_name(const BranchLabels& labels, std::size_t number, const FoldedName& name) {
    const PaddedName& key = labels.keys[number - 1];
    return key.low == name.name.low && key.high == name.name.high && labels.lengths[number - 1] == name.length;
}

// A slot holds the entry's number plus one in its low 16 bits (a run has at most 65,500 lines, so
// fewer targets than that) and 16 bits of the name's hash above them.
constexpr std::uint32_t entry_bits = 0xFFFF;
constexpr std::size_t most_entries = entry_bits - 1;

// The tag is taken from bits below those that choose the slot.
constexpr std::uint32_t tag_of(const FoldedName& name) {
    return static_cast<std::uint32_t>((name.hash >> 32) & 0xFFFF) << 16;
}

// The index slot holding `name`'s entry, or the free slot where it belongs. The slot is chosen by the
// hash's top bits, which depend on all of its bytes.
std::uint32_t& slot_for(BranchLabels& labels, const FoldedName& name) {
    const std::size_t mask = labels.index.size() - 1;
    const int shift = 64 - std::countr_zero(labels.index.size());
    const std::uint32_t tag = tag_of(name);
    for (std::size_t at = static_cast<std::size_t>(name.hash >> shift);; at = (at + 1) & mask) {
        std::uint32_t& slot = labels.index[at];
        if (slot == 0) return slot;
        if ((slot & ~entry_bits) == tag && same_name(labels, slot & entry_bits, name)) return slot;
    }
}

std::uint32_t slot_value(const FoldedName& name, std::size_t number) {
    return tag_of(name) | static_cast<std::uint32_t>(number);
}

void grow(BranchLabels& labels) {
    // Room for a few hundred targets at first, so that a program of any size rebuilds the index
    // only a few times.
    labels.index.assign(labels.index.empty() ? 512 : 2 * labels.index.size(), 0);
    const std::size_t mask = labels.index.size() - 1;
    const int shift = 64 - std::countr_zero(labels.index.size());
    for (std::size_t i = 0; i < labels.keys.size(); ++i) {
        // The names are all different: each goes to the first free slot from its own.
        FoldedName name;
        name.hash = padded_name_hash(labels.keys[i]);
        std::size_t at = static_cast<std::size_t>(name.hash >> shift);
        while (labels.index[at] != 0) at = (at + 1) & mask;
        labels.index[at] = slot_value(name, i + 1);
    }
}

}  // namespace

void add_branch_target(BranchLabels& labels, std::string_view upper_name) {
    if (upper_name.empty() || upper_name.size() > longest_label) return;
    // The keys count the entries as well, and more cheaply than the deque.
    if (4 * (labels.keys.size() + 1) > 3 * labels.index.size()) grow(labels);
    const FoldedName name = fold(upper_name);
    std::uint32_t& slot = slot_for(labels, name);
    if (slot != 0 || labels.keys.size() >= most_entries) return;
    BranchLabel& entry = labels.entries.emplace_back();
    entry.length = static_cast<std::uint8_t>(upper_name.size());
    labels.keys.push_back(name.name);
    labels.lengths.push_back(entry.length);
    slot = slot_value(name, labels.keys.size());
}

BranchLabel* find_branch_target(BranchLabels& labels, std::string_view name) {
    if (labels.index.empty() || name.empty() || name.size() > longest_label) return nullptr;
    const std::uint32_t slot = slot_for(labels, fold(name));
    return slot != 0 ? &labels.entries[(slot & entry_bits) - 1] : nullptr;
}

BranchLabel* find_branch_target_padded(BranchLabels& labels, const char* padded, std::size_t length) {
    if (labels.index.empty() || length == 0 || length > longest_label) return nullptr;
    const std::uint32_t slot = slot_for(labels, fold_padded(padded, length));
    return slot != 0 ? &labels.entries[(slot & entry_bits) - 1] : nullptr;
}

BranchLabel* find_branch_target_upper_padded(BranchLabels& labels, const char* padded, std::size_t length) {
    if (labels.index.empty() || length == 0 || length > longest_label) return nullptr;
    const std::uint32_t slot = slot_for(labels, key_name(padded_name(padded, length), length));
    return slot != 0 ? &labels.entries[(slot & entry_bits) - 1] : nullptr;
}

LabelPlace* branch_label_place(BranchLabels& labels, std::string_view name) {
    BranchLabel* entry = find_branch_target(labels, name);
    return entry != nullptr && entry->is_label ? &entry->place : nullptr;
}
