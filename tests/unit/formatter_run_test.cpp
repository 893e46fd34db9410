#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "formatter.h"
#include "formatter_test_text.h"

namespace fs = std::filesystem;

namespace {

const std::string banner = "------ Translate file Formatter ------\n";

// Each test runs in a fresh directory of its own, as a user runs neaten in the folder of the file.
class FormatterRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "neatenXXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        old_dir_ = fs::current_path();
        fs::current_path(dir_);
    }
    void TearDown() override {
        fs::current_path(old_dir_);
        fs::remove_all(dir_);
    }

    static void write_file(const std::string& name, const std::string& bytes) {
        std::ofstream(name, std::ios::binary) << bytes;
    }
    static std::string read_file(const std::string& name) {
        std::ifstream in(name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    int run(const std::vector<std::string>& args) {
        std::ostringstream console;
        NeatenRun state{console};
        int status = run_neaten(state, args);
        EXPECT_EQ(state.output, nullptr) << "output file left open";
        printed_ = console.str();
        return status;
    }

    std::string printed_;

private:
    fs::path dir_;
    fs::path old_dir_;
};

std::string names_text(const std::string& input, const std::string& output) {
    return "Input  file = '" + input + "'\nOutput file = '" + output + "'\n";
}

}  // namespace

TEST_F(FormatterRun, NoArgumentPrintsUsage) {
    EXPECT_EQ(run({}), 1);
    EXPECT_EQ(printed_, banner + "USAGE: NEATEN InpName[.SRC] [OutName[.ASM]]\n");
}

TEST_F(FormatterRun, FormatsWholeFile) {
    write_file("HPROG.SRC", tabs("LOOP→MOV.B→@R3,R0H→→→;→LOOP:→LD→A,(HL)→; get\n"
                                 "→.DATA.B→H'41\n"
                                 "\n"
                                 ";→→→→→;→; end"));
    EXPECT_EQ(run({"HPROG"}), 0);
    EXPECT_EQ(printed_, banner + names_text("HPROG.SRC", "HPROG.ASM") + "Completed.\n");
    EXPECT_EQ(read_file("HPROG.ASM"), tabs("LOOP→MOV.B→@R3,R0H→→→; get\n→.DATA.B→H'41\n\n; end\n"));
}

TEST_F(FormatterRun, EmptyInputGivesEmptyOutput) {
    write_file("E.SRC", "");
    write_file("E.ASM", "old contents\n");
    EXPECT_EQ(run({"E"}), 0);
    EXPECT_EQ(read_file("E.ASM"), "");
}

TEST_F(FormatterRun, SameNameRefusedWithoutTouchingFiles) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        std::string output;
    };
    const std::vector<Case> cases = {
        {{"PROG.ASM"}, "PROG.ASM", "PROG.ASM"},
        {{"PROGRAM_A.SRC", "PROGRAM_B.SRX"}, "PROGRAM_A.SRC", "PROGRAM_B.SRX"},
        // Different names of one existing file: writing would empty the input before it is read.
        {{"P.SRC", "./P.SRC"}, "P.SRC", "./P.SRC"},
        {{"P.SRC", "LINK.ASM"}, "P.SRC", "LINK.ASM"},
    };
    for (const auto& name : {"PROG.ASM", "PROGRAM_A.SRC", "PROGRAM_B.SRX", "P.SRC"}) {
        write_file(name, tabs("→NOP→→→→;→→NOP→; keep\n"));
    }
    fs::create_symlink("P.SRC", "LINK.ASM");
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.args), 1);
        EXPECT_EQ(printed_, banner + names_text(c.input, c.output) + "\tSame file_name input,output\n");
    }
    for (const auto& name : {"PROG.ASM", "PROGRAM_A.SRC", "PROGRAM_B.SRX", "P.SRC"}) {
        EXPECT_EQ(read_file(name), tabs("→NOP→→→→;→→NOP→; keep\n")) << name;
    }
}

TEST_F(FormatterRun, MissingInputLeavesOutputAlone) {
    write_file("NOPE.ASM", "keep\n");
    EXPECT_EQ(run({"NOPE"}), 1);
    EXPECT_EQ(printed_, banner + names_text("NOPE.SRC", "NOPE.ASM") + "\tNOPE.SRC Cannot Open\n");
    EXPECT_EQ(read_file("NOPE.ASM"), "keep\n");
}

TEST_F(FormatterRun, FilesThatCannotBeOpened) {
    write_file("P.SRC", "x\n");
    fs::create_directory("DIR.SRC");
    fs::create_directory("DIR.ASM");
    EXPECT_EQ(run({"DIR", "OUT"}), 1);
    EXPECT_EQ(printed_, banner + names_text("DIR.SRC", "OUT.ASM") + "\tDIR.SRC Cannot Open\n");
    EXPECT_FALSE(fs::exists("OUT.ASM"));
    EXPECT_EQ(run({"P", "DIR"}), 1);
    EXPECT_EQ(printed_, banner + names_text("P.SRC", "DIR.ASM") + "\tDIR.ASM Cannot Open\n");
    EXPECT_EQ(run({"P", "no/such/dir/OUT"}), 1);
    EXPECT_EQ(printed_, banner + names_text("P.SRC", "no/such/dir/OUT.ASM") + "\tno/such/dir/OUT.ASM Cannot Open\n");
}

// /dev/full accepts an open but refuses every byte: a short file fails only when it is closed,
// a long one already while lines are written. Either way the run must not pass for complete.
TEST_F(FormatterRun, WriteFailureIsReported) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    fs::create_symlink("/dev/full", "FULL.ASM");
    std::string long_file;
    for (int i = 0; i < 5000; ++i) long_file += tabs("→NOP→→→→;→→NOP→; filler\n");
    for (const std::string& contents : {std::string("x\n"), long_file}) {
        write_file("FULL.SRC", contents);
        EXPECT_EQ(run({"FULL"}), 1);
        EXPECT_EQ(printed_, banner + names_text("FULL.SRC", "FULL.ASM") + "\t Write Error\n");
    }
}
