#include "reading/branch_labels.h"

#include <algorithm>

#include "reading/text_scan.h"

namespace {

// FNV-1a over the name in either letter case. (A letter's two cases differ in bit 5 alone:
// without it the hash is the same for both.)
std::uint64_t name_hash(std::string_view name) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (char ch : name) hash = (hash ^ (static_cast<unsigned char>(ch) & 0xDFU)) * 0x100000001B3ULL;
    return hash;
}

constexpr std::size_t longest_label = std::tuple_size_v<decltype(BranchLabel::name)>;

bool same_name(const BranchLabel& entry, std::string_view name) {
    return entry.length == name.size() &&
           std::equal(name.begin(), name.end(), entry.name.begin(), [](char a, char b) { return to_upper(a) == b; });
}

// The index slot holding `name`'s entry, or the free slot where it belongs.
std::uint32_t& slot_for(BranchLabels& labels, std::string_view name) {
    const std::size_t mask = labels.index.size() - 1;
    for (std::size_t at = name_hash(name) & mask;; at = (at + 1) & mask) {
        std::uint32_t& slot = labels.index[at];
        if (slot == 0 || same_name(labels.entries[slot - 1], name)) return slot;
    }
}

void grow(BranchLabels& labels) {
    labels.index.assign(labels.index.empty() ? 16 : 2 * labels.index.size(), 0);
    for (std::size_t i = 0; i < labels.entries.size(); ++i) {
        const BranchLabel& entry = labels.entries[i];
        slot_for(labels, std::string_view(entry.name.data(), entry.length)) = static_cast<std::uint32_t>(i + 1);
    }
}

}  // namespace

void add_branch_target(BranchLabels& labels, std::string_view upper_name) {
    if (upper_name.empty() || upper_name.size() > longest_label) return;
    if (4 * (labels.entries.size() + 1) > 3 * labels.index.size()) grow(labels);
    std::uint32_t& slot = slot_for(labels, upper_name);
    if (slot != 0) return;
    BranchLabel& entry = labels.entries.emplace_back();
    std::copy(upper_name.begin(), upper_name.end(), entry.name.begin());
    entry.length = static_cast<std::uint8_t>(upper_name.size());
    slot = static_cast<std::uint32_t>(labels.entries.size());
}

BranchLabel* find_branch_target(BranchLabels& labels, std::string_view name) {
    if (labels.index.empty() || name.empty() || name.size() > longest_label) return nullptr;
    const std::uint32_t slot = slot_for(labels, name);
    return slot != 0 ? &labels.entries[slot - 1] : nullptr;
}

LabelPlace* branch_label_place(BranchLabels& labels, std::string_view name) {
    BranchLabel* entry = find_branch_target(labels, name);
    return entry != nullptr && entry->is_label ? &entry->place : nullptr;
}
