// The labels that a JR or DJNZ names, and where each lands in the H8/300 program. Pass 1 notes
// every name a short branch targets and then which of them label a place; pass 2's layout places
// those and measures the branches against them.
//
// A program may have thousands of branch targets: each is kept in a small fixed entry (a label has
// at most 16 characters) in blocks that never move, found through a table of entry numbers, so
// that memory grows little with the size of the source and never by copying.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

#include "reading/padded_name.h"

// Where a label lands in the H8/300 program: its section and offset, once pass 2 has laid out the
// line it names.
struct LabelPlace {
    std::uint32_t section = 0;  // in the order the sections were opened
    std::int32_t offset = 0;
    bool placed = false;
};

// A target's name is its key in `BranchLabels::keys` (upper case, zero-padded), at the same number.
struct BranchLabel {
    LabelPlace place;
    std::uint8_t length = 0;  // of the name
    bool is_label = false;    // the name labels a place somewhere in the program
};

struct BranchLabels {
    std::deque<BranchLabel> entries;  // a deque: an entry stays where it is as others are added
    // Open addressing over the entries: a power of two in size, at most three quarters full;
    // each slot holds an entry's number plus one in its low half and part of the name's hash in
    // its high half (so that a probe seldom has to look at an entry), or 0 when free.
    std::vector<std::uint32_t> index;
    // Each entry's name upper-cased as a key (padded_name.h), in entry order: a probe compares these
    // side by side in one block, and the index is rebuilt from them when it grows.
    std::vector<PaddedName> keys;
    // Each entry's name length beside its key, so that a probe that matches the key reads no entry.
    std::vector<std::uint8_t> lengths;
};

// Notes a name a short branch targets (upper case). A name longer than a label can be is no label.
void add_branch_target(BranchLabels& labels, std::string_view upper_name);
// The entry of a target name, in any letter case; null when no branch targets that name.
BranchLabel* find_branch_target(BranchLabels& labels, std::string_view name);
// The same for a name of `length` bytes at `padded`, where 16 bytes can be read.
BranchLabel* find_branch_target_padded(BranchLabels& labels, const char* padded, std::size_t length);
// The same for a name already in upper case, as the records keep their labels: it is not folded.
BranchLabel* find_branch_target_upper_padded(BranchLabels& labels, const char* padded, std::size_t length);
// The place of a label a short branch names, in any letter case; null for any other name.
LabelPlace* branch_label_place(BranchLabels& labels, std::string_view name);
