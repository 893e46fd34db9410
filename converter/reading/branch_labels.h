// The labels that a JR or DJNZ names, and where each lands in the H8/300 program. Pass 1 notes
// every name a short branch targets and then which of them label a place; pass 2's layout places
// those and measures the branches against them.
//
// A program may have thousands of branch targets: they are kept in fixed slots of one table (a
// label has at most 16 characters), not as a node and a string each, so that memory hardly grows
// with the size of the source.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

// Where a label lands in the H8/300 program: its section and offset, once pass 2 has laid out the
// line it names.
struct LabelPlace {
    std::uint32_t section = 0;  // in the order the sections were opened
    std::int32_t offset = 0;
    bool placed = false;
};

struct BranchLabel {
    std::array<char, 16> name{};  // upper case, zero-padded
    std::uint8_t length = 0;      // 0 for a free slot
    bool is_label = false;        // the name labels a place somewhere in the program
    LabelPlace place;
};

// An open-addressing table of BranchLabel, a power of two in size and at most three quarters
// full. Once pass 1 has filled it, it never grows again, so that pointers to places stay valid.
struct BranchLabels {
    std::vector<BranchLabel> slots;
    std::size_t count = 0;
};

// Notes a name a short branch targets (upper case). A name longer than a label can be is no label.
void add_branch_target(BranchLabels& labels, std::string_view upper_name);
// The entry of a target name, in any letter case; null when no branch targets that name.
BranchLabel* find_branch_target(BranchLabels& labels, std::string_view name);
// The place of a label a short branch names, in any letter case; null for any other name.
LabelPlace* branch_label_place(BranchLabels& labels, std::string_view name);
