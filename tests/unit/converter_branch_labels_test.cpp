#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reading/branch_labels.h"

// Many targets make the table grow several times: every name is still found in any letter case,
// once only, with its place where it was before the growth; a name no branch targets, or one
// longer than a label can be, is not.
TEST(BranchLabels, ManyTargetsFoundAcrossGrowth) {
    BranchLabels labels;
    add_branch_target(labels, "FIRST");
    BranchLabel* first = find_branch_target(labels, "first");
    ASSERT_NE(first, nullptr);
    first->is_label = true;
    first->place = {3, 1234, true};

    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i) names.push_back("L" + std::to_string(i * 7919));
    for (const std::string& name : names) add_branch_target(labels, name);
    for (const std::string& name : names) add_branch_target(labels, name);  // a second JR to each
    EXPECT_EQ(labels.entries.size(), names.size() + 1);

    EXPECT_EQ(find_branch_target(labels, "First"), first);
    EXPECT_EQ(branch_label_place(labels, "FIRST")->offset, 1234);
    // Each name finds an entry of its own: numbered through one name, read back through the other
    // spelling.
    for (std::size_t i = 0; i < names.size(); ++i) {
        BranchLabel* entry = find_branch_target(labels, names[i]);
        ASSERT_NE(entry, nullptr) << names[i];
        entry->place.offset = static_cast<std::int32_t>(i);
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        const BranchLabel* entry = find_branch_target(labels, "l" + name.substr(1));
        ASSERT_NE(entry, nullptr) << name;
        EXPECT_EQ(entry->place.offset, static_cast<std::int32_t>(i)) << name;
        EXPECT_EQ(entry->length, name.size());
        EXPECT_EQ(branch_label_place(labels, name), nullptr) << name;  // a target, not yet a label
    }
    EXPECT_EQ(find_branch_target(labels, "L1"), nullptr);

    add_branch_target(labels, "SEVENTEEN_LETTERS");
    EXPECT_EQ(find_branch_target(labels, "SEVENTEEN_LETTERS"), nullptr);
    EXPECT_EQ(find_branch_target(labels, ""), nullptr);
    EXPECT_EQ(labels.entries.size(), names.size() + 1);
}

// Pass 1 looks its labels up where they lie in the work file's records: only the name's own bytes
// count, whatever follows them, and the letter case does not.
TEST(BranchLabels, PaddedNamesIgnoreTheBytesBehindThem) {
    BranchLabels labels;
    add_branch_target(labels, "LOOP");
    add_branch_target(labels, "SIXTEEN_LETTERS_");
    const BranchLabel* loop = find_branch_target(labels, "LOOP");
    EXPECT_EQ(find_branch_target_padded(labels, "LOOPXYZ\x7F\xFFlong_tail", 4), loop);
    EXPECT_EQ(find_branch_target_padded(labels, "loop\0\0\0\0\0\0\0\0\0\0\0\0", 4), loop);
    EXPECT_EQ(find_branch_target_padded(labels, "LOOPS\0\0\0\0\0\0\0\0\0\0\0", 5), nullptr);
    EXPECT_EQ(find_branch_target_padded(labels, "Sixteen_Letters_", 16),
              find_branch_target(labels, "SIXTEEN_LETTERS_"));
    EXPECT_NE(find_branch_target(labels, "SIXTEEN_LETTERS_"), nullptr);
    EXPECT_EQ(find_branch_target_padded(labels, "LOO\0\0\0\0\0\0\0\0\0\0\0\0\0", 3), nullptr);
    // A record's label is upper case already and is looked up unfolded.
    EXPECT_EQ(find_branch_target_upper_padded(labels, "LOOPXYZ\x7F\xFFlong_tail", 4), loop);
    EXPECT_EQ(find_branch_target_upper_padded(labels, "SIXTEEN_LETTERS_", 16),
              find_branch_target(labels, "SIXTEEN_LETTERS_"));
    EXPECT_EQ(find_branch_target_upper_padded(labels, "LOOPS\0\0\0\0\0\0\0\0\0\0\0", 5), nullptr);
}
