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

bool same_name(const BranchLabel& slot, std::string_view name) {
    return slot.length == name.size() &&
           std::equal(name.begin(), name.end(), slot.name.begin(), [](char a, char b) { return to_upper(a) == b; });
}

// The slot holding `name`, or the free slot where it belongs.
BranchLabel& slot_for(BranchLabels& labels, std::string_view name) {
    const std::size_t mask = labels.slots.size() - 1;
    for (std::size_t at = name_hash(name) & mask;; at = (at + 1) & mask) {
        BranchLabel& slot = labels.slots[at];
        if (slot.length == 0 || same_name(slot, name)) return slot;
    }
}

void grow(BranchLabels& labels) {
    std::vector<BranchLabel> old = std::move(labels.slots);
    labels.slots.assign(old.empty() ? 16 : 2 * old.size(), BranchLabel{});
    for (const BranchLabel& entry : old) {
        if (entry.length != 0) slot_for(labels, std::string_view(entry.name.data(), entry.length)) = entry;
    }
}

}  // namespace

void add_branch_target(BranchLabels& labels, std::string_view upper_name) {
    if (upper_name.empty() || upper_name.size() > std::tuple_size_v<decltype(BranchLabel::name)>) return;
    if (4 * (labels.count + 1) > 3 * labels.slots.size()) grow(labels);
    BranchLabel& slot = slot_for(labels, upper_name);
    if (slot.length != 0) return;
    std::copy(upper_name.begin(), upper_name.end(), slot.name.begin());
    slot.length = static_cast<std::uint8_t>(upper_name.size());
    ++labels.count;
}

BranchLabel* find_branch_target(BranchLabels& labels, std::string_view name) {
    if (labels.slots.empty() || name.empty() || name.size() > std::tuple_size_v<decltype(BranchLabel::name)>) {
        return nullptr;
    }
    BranchLabel& slot = slot_for(labels, name);
    return slot.length != 0 ? &slot : nullptr;
}

LabelPlace* branch_label_place(BranchLabels& labels, std::string_view name) {
    BranchLabel* entry = find_branch_target(labels, name);
    return entry != nullptr && entry->is_label ? &entry->place : nullptr;
}
