// Whole srcport runs inside a scratch directory.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "driver/srcport.h"
#include "reading/pass1.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

class ScratchDirectory {
public:
    // A directory of its own for each run: test runs side by side (two builds) must not meet.
    explicit ScratchDirectory(const std::string& name) {
        std::string pattern = (fs::path(::testing::TempDir()) / (name + "XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
        path_ = pattern;
        previous_ = fs::current_path();
        fs::current_path(path_);
    }
    ~ScratchDirectory() {
        fs::current_path(previous_);
        fs::remove_all(path_);
    }

private:
    fs::path path_;
    fs::path previous_;
};

void write_file(const std::string& name, const std::string& text) { std::ofstream(name, std::ios::binary) << text; }

std::string read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(SrcportRun, ConsoleOfACompleteRun) {
    ScratchDirectory scratch("complete");
    write_file("PROG.ASM", "START:\n");
    auto ctx = fresh_context();
    EXPECT_EQ(run_srcport(*ctx, {"PROG"}), 0);
    const std::string& out = ctx->console.captured;
    EXPECT_TRUE(out.starts_with(" HD64180 -> H8/300 Source Convertor Ver. 1.17\n"));
    EXPECT_NE(out.find("HD68180 SourceFile = 'PROG.ASM'\nH8/300  SourceFile = 'HPROG.SRC'\n"
                       "      SymbolicFile = 'HPROG.SYM'\n\nPass1: Analize HD64180 Source program\n"
                       "\t1 line(s) Source Program\nPass2:  Translate HD64180 to H8/300\n\nCompleted\n"),
              std::string::npos);
}

TEST(SrcportRun, EmptySourceGivesEmptyOutputs) {
    ScratchDirectory scratch("empty");
    write_file("PROG.ASM", "");
    auto ctx = fresh_context();
    EXPECT_EQ(run_srcport(*ctx, {"PROG"}), 0);
    EXPECT_NE(ctx->console.captured.find("\t0 line(s) Source Program\n"), std::string::npos);
    EXPECT_EQ(read_file("HPROG.SRC"), "");
    EXPECT_EQ(read_file("HPROG.SYM"), "");
    // Nothing else is left behind: no work file, no temporary output.
    EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 3);
}

// An output reached through a symlink: the file it points at is replaced and keeps its permissions,
// and the link stays a link.
TEST(SrcportRun, OutputThroughASymlinkReplacesTheFileItPointsAt) {
    ScratchDirectory scratch("symlinked_output");
    write_file("PROG.ASM", "START:\n");
    fs::create_directory("keep");
    write_file("keep/OLD.SRC", "old\n");
    const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions("keep/OLD.SRC", mode);
    fs::create_symlink("keep/OLD.SRC", "OUT.SRC");
    auto ctx = fresh_context();
    EXPECT_EQ(run_srcport(*ctx, {"PROG", "OUT"}), 0);
    EXPECT_TRUE(fs::is_symlink("OUT.SRC"));
    EXPECT_EQ(read_file("keep/OLD.SRC"), "START\t.EQU\t$\t\t\t;\tSTART:\n");
    EXPECT_EQ(fs::status("keep/OLD.SRC").permissions(), mode);
    EXPECT_EQ(std::distance(fs::directory_iterator("keep"), fs::directory_iterator()), 1);
}

// In the H8/300 syntax a line goes out before its branches are measured, and a warning for one out
// of reach is put in front of it later: here two branches to a label past the layout's window,
// decided one after the other when they fall out of it, with far more than a written block of
// lines (64 KiB) laid out behind them meanwhile, and one in reach between.
TEST(SrcportRun, WarningsOfBranchesDecidedLateGoInFrontOfThem) {
    ScratchDirectory scratch("late_branch_warnings");
    std::string source = "\tJR\tFAR\n\tJR\tFAR\n\tJR\tNEAR\nNEAR:\tNOP\n";
    std::string filler;
    for (int i = 0; i < 3000; ++i) {
        const std::string line = "\tNOP\t\t\t; filler " + std::to_string(10000 + i) + ", a comment long enough\n";
        source += line;
        filler += "\tNOP\t\t\t\t;\t" + line;
    }
    source += "FAR:\tNOP\n";
    write_file("PROG.ASM", source);
    auto ctx = fresh_context();
    EXPECT_EQ(run_srcport(*ctx, {"PROG"}), 0);
    const std::string warning = ";\t\t\t*** warning: branch out of range ***\n";
    const std::string far = "\tBRA\tFAR\t\t\t;\t\tJR\tFAR\n";
    EXPECT_EQ(read_file("HPROG.SRC"), warning + far + warning + far + "\tBRA\tNEAR\t\t\t;\t\tJR\tNEAR\n" +
                                          "NEAR\tNOP\t\t\t\t;\tNEAR:\tNOP\n" + filler +
                                          "FAR\tNOP\t\t\t\t;\tFAR:\tNOP\n");
    EXPECT_NE(ctx->console.captured.find("(1) WARNING: branch out of range\n(2) WARNING: branch out of range\n"),
              std::string::npos);
}

// Pass 2 holds a source line as a view into the file's read block while it translates it. A JR Z
// merged with the JR C after it reads that next line ahead, which may refill the block: the JR Z
// line must still be written whole into its comment field. Every line differs from the others,
// the file is longer than two blocks (64 KiB), and one of the shifts puts the end of the first
// block into a JR C line.
TEST(SrcportRun, LineReadAheadAcrossABlockLeavesTheCurrentLineWhole) {
    ScratchDirectory scratch("read_ahead_block");
    const std::string second = "\tJR\tC,L\n";
    const std::size_t pair_size = std::string("\tJR\tZ,L\t;10000\n").size() + second.size();
    for (std::size_t shift = 0; shift < pair_size; ++shift) {
        std::string source = "L:\n;" + std::string(shift, 'x') + "\n";
        std::size_t pairs = 0;
        for (; source.size() < 150000; ++pairs)
            source += "\tJR\tZ,L\t;" + std::to_string(10000 + pairs) + "\n" + second;
        write_file("PROG.ASM", source);
        auto ctx = fresh_context();
        ASSERT_EQ(run_srcport(*ctx, {"PROG"}), 0);
        const std::string output = read_file("HPROG.SRC");
        // The comment fields, after the first ";\t" behind the line's start, give back the source.
        std::string comments;
        std::size_t merged = 0;
        for (std::size_t at = 0; at < output.size();) {
            const std::size_t end = output.find('\n', at) + 1;
            const std::string_view line(output.data() + at, end - at);
            at = end;
            if (line.starts_with(";\t\t\t*** warning")) continue;
            merged += line.starts_with("\tBLS\tL\t");
            comments += line.substr(line.find(";\t", 1) + 2);
        }
        EXPECT_EQ(merged, pairs) << "shift " << shift;
        EXPECT_TRUE(comments == source) << "shift " << shift;
    }
}

// A run whose files are held in memory (as the fuzz harness runs it) writes them as a run on
// disk does, an empty output included.
TEST(SrcportRun, FilesHeldInMemoryAreWrittenLikeFilesOnDisk) {
    for (const std::string source : {"", "START:\tNOP\n\tEND\n"}) {
        MemoryFiles files;
        files["PROG.ASM"] = source;
        Context ctx;
        ctx.console.capture = true;
        ctx.files.memory = &files;
        EXPECT_EQ(run_srcport(ctx, {"PROG"}), 0);
        EXPECT_EQ(files["HPROG.SRC"],
                  source.empty() ? "" : "START\tNOP\t\t\t\t;\tSTART:\tNOP\n\t.END\t\t\t\t;\t\tEND\n");
    }
}

// The record stream as pass 1 leaves it: a record per line, then the END record or an all-zero one.
// The work file has no name in the directory by then.
TEST(SrcportRun, RecordStreamEndsWithTheEndRecordOrZeros) {
    ScratchDirectory scratch("terminator");
    auto records_of = [](const std::string& source) {
        write_file("PROG.ASM", source);
        auto ctx = fresh_context();
        ctx->settings.source_path = "PROG.ASM";
        ctx->settings.output_path = "HPROG.SRC";
        run_pass1(*ctx);
        EXPECT_EQ(std::distance(fs::directory_iterator("."), fs::directory_iterator()), 1);
        std::FILE* work = ctx->work_file.get();
        std::string records(4 * 24, '?');
        std::rewind(work);
        records.resize(std::fread(records.data(), 1, records.size(), work));
        return records;
    };
    std::string records = records_of("A:\nB:\nC:\n");
    ASSERT_EQ(records.size(), 4U * 24);
    EXPECT_EQ(records.substr(72), std::string(24, '\0'));

    records = records_of("A:\nB:\n\tEND\n");
    ASSERT_EQ(records.size(), 3U * 24);
    EXPECT_EQ(records[48], '\x50');
    EXPECT_EQ(records[49], '\x02');
}

}  // namespace
