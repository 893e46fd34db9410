// Whole srcport runs inside a scratch directory: the work-file lock and left-over work files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "driver/srcport.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

class ScratchDirectory {
public:
    explicit ScratchDirectory(const std::string& name) : path_(fs::path(::testing::TempDir()) / name) {
        fs::remove_all(path_);
        fs::create_directories(path_);
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

TEST(SrcportRun, SecondRunIsRefusedWhileTheWorkFileIsLocked) {
    ScratchDirectory scratch("locked_run");
    write_file("PROG.ASM", "START:\n");
    int fd = ::open("$TRSH8.$$$", O_RDWR | O_CREAT, 0666);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);

    auto ctx = fresh_context();
    EXPECT_EQ(run_srcport(*ctx, {"PROG"}), 1);
    EXPECT_NE(ctx->console.captured.find("\t$TRSH8.$$$ Cannot Open\n"), std::string::npos);
    EXPECT_FALSE(fs::exists("HPROG.SRC"));
    ::close(fd);

    auto again = fresh_context();
    EXPECT_EQ(run_srcport(*again, {"PROG"}), 0);
    EXPECT_TRUE(fs::exists("HPROG.SRC"));
    EXPECT_FALSE(fs::exists("$TRSH8.$$$"));
}

TEST(SrcportRun, LeftOverWorkFileIsReused) {
    ScratchDirectory scratch("left_over");
    write_file("PROG.ASM", "START:\nLOOP:\n");
    write_file("$TRSH8.$$$", std::string(24 * 50, '\x7f'));
    auto ctx = fresh_context();
    EXPECT_EQ(run_srcport(*ctx, {"PROG"}), 0);
    EXPECT_EQ(read_file("HPROG.SRC"), "START\t.EQU\t$\t\t\t;\tSTART:\nLOOP\t.EQU\t$\t\t\t;\tLOOP:\n");
    EXPECT_FALSE(fs::exists("$TRSH8.$$$"));
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
    EXPECT_FALSE(fs::exists("$TRSH8.$$$"));
}

TEST(SrcportRun, ThreeLinesWithoutEndGiveAZeroTerminator) {
    ScratchDirectory scratch("terminator");
    write_file("PROG.ASM", "A:\nB:\nC:\n");
    auto ctx = fresh_context();
    // Stop after pass 1 by making the output unopenable: the work file stays for inspection.
    fs::create_directory("HPROG.SRC");
    EXPECT_EQ(run_srcport(*ctx, {"PROG"}), 1);
    std::string records = read_file("$TRSH8.$$$");
    ASSERT_EQ(records.size(), 4U * 24);
    EXPECT_EQ(records.substr(72), std::string(24, '\0'));
    ctx.reset();  // a finished run lets its lock go

    write_file("PROG.ASM", "A:\nB:\n\tEND\n");
    auto with_end = fresh_context();
    EXPECT_EQ(run_srcport(*with_end, {"PROG"}), 1);
    records = read_file("$TRSH8.$$$");
    ASSERT_EQ(records.size(), 3U * 24);
    EXPECT_EQ(records[48], '\x50');
    EXPECT_EQ(records[49], '\x02');
}

}  // namespace
