// Options, file arguments and the names derived from them.
#include <gtest/gtest.h>

#include <filesystem>

#include "driver/command_line.h"

namespace {

struct Names {
    std::string source, output, symbolic, include_dir;
};

Names derive(std::vector<std::string> args) {
    Settings settings;
    EXPECT_EQ(read_command_line(args, settings), CommandLineResult::run);
    return {settings.source_path, settings.output_path, settings.symbolic_path,
            settings.include_path.substr(0, settings.include_name_pos)};
}

TEST(CommandLine, DerivedNames) {
    // Paths with a directory part are taken whole only when that directory exists.
    const std::string dir = ::testing::TempDir() + "cmdline";
    std::filesystem::create_directories(dir + "/src");
    std::filesystem::create_directories(dir + "/with.dot");
    std::filesystem::create_directories(dir + "/out");
    struct Case {
        std::vector<std::string> args;
        Names names;
    };
    const Case cases[] = {
        {{"FOO"}, {"FOO.ASM", "HFOO.SRC", "HFOO.SYM", ""}},
        {{dir + "/src/FOO.ASM"}, {dir + "/src/FOO.ASM", dir + "/src/HFOO.SRC", dir + "/src/HFOO.SYM", dir + "/src/"}},
        {{"FOO.ASM", dir + "/out/"}, {"FOO.ASM", dir + "/out/HFOO.SRC", dir + "/out/HFOO.SYM", ""}},
        {{"FOO.ASM", "D:"}, {"FOO.ASM", "D:HFOO.SRC", "D:HFOO.SYM", ""}},
        {{"FOO", "BAR"}, {"FOO.ASM", "BAR.SRC", "BAR.SYM", ""}},
        {{"FOO", "BAR.TXT"}, {"FOO.ASM", "BAR.TXT", "BAR.SYM", ""}},
        {{"./FOO"}, {"./FOO.ASM", "./HFOO.SRC", "./HFOO.SYM", "./"}},
        {{"../FOO"}, {"../FOO.ASM", "../HFOO.SRC", "../HFOO.SYM", "../"}},
        {{"FOO.X"}, {"FOO.X", "HFOO.SRC", "HFOO.SYM", ""}},
        {{dir + "/with.dot/FOO"},
         {dir + "/with.dot/FOO.ASM", dir + "/with.dot/HFOO.SRC", dir + "/with.dot/HFOO.SYM", dir + "/with.dot/"}},
    };
    for (const Case& c : cases) {
        Names names = derive(c.args);
        EXPECT_EQ(names.source, c.names.source) << c.args[0];
        EXPECT_EQ(names.output, c.names.output) << c.args[0];
        EXPECT_EQ(names.symbolic, c.names.symbolic) << c.args[0];
        EXPECT_EQ(names.include_dir, c.names.include_dir) << c.args[0];
    }
}

TEST(CommandLine, OptionsAnywhereAndSplitAtSlash) {
    Settings glued, apart;
    ASSERT_EQ(read_command_line({"FOO/D500/M50"}, glued), CommandLineResult::run);
    ASSERT_EQ(read_command_line({"FOO", "/D500", "/M50"}, apart), CommandLineResult::run);
    EXPECT_EQ(glued.data_name_max, 500);
    EXPECT_EQ(glued.macro_name_max, 50);
    EXPECT_EQ(glued.source_path, apart.source_path);

    Settings lower;
    ASSERT_EQ(read_command_line({"/d10", "-m7", "FOO", "-hxyz"}, lower), CommandLineResult::run);
    EXPECT_EQ(lower.data_name_max, 10);
    EXPECT_EQ(lower.macro_name_max, 7);
    EXPECT_TRUE(lower.copy_h8_area);

    Settings signs;
    ASSERT_EQ(read_command_line({"FOO", "/D+12x"}, signs), CommandLineResult::run);
    EXPECT_EQ(signs.data_name_max, 12);
    EXPECT_FALSE(signs.gas);

    // The GNU syntax by every spelling; its linker script takes the output's name.
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--gas", "FOO"}, {"FOO", "-G"}, {"FOO/g", "OUT.S"}}) {
        Settings gas;
        ASSERT_EQ(read_command_line(args, gas), CommandLineResult::run);
        EXPECT_TRUE(gas.gas);
        EXPECT_EQ(gas.source_path, "FOO.ASM");
        EXPECT_EQ(gas.script_path, args.back() == "OUT.S" ? "OUT.ld" : "HFOO.ld");
    }
}

TEST(CommandLine, MissingDirectoryMakesSlashesOptions) {
    Settings settings;
    EXPECT_EQ(read_command_line({"NOSUCHDIR/SRC/FOO.ASM"}, settings), CommandLineResult::usage_error);
}

TEST(CommandLine, UsageErrors) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"/D500"},
        {"FOO", "/D0"},
        {"FOO", "/D2001"},
        {"FOO", "/M1001"},
        {"FOO", "/Dabc"},
        {"FOO", "/Z"},
        {"FOO", "--extend"},
        {"FOO", "/D"},
        {"A", "B", "C"},
        {"FOO", "/D65537"},
        {"FOO", "/M70000"},
        {"FOO", "/D99999999999999999999"},
        {"FOO", "/D-1"},
        {"FOO", "-Q"},
        {"FOO", "--diagnostics=vim"},
        {"FOO", "--fail-on-errors"},
    };
    for (const auto& args : cases) {
        Settings settings;
        EXPECT_EQ(read_command_line(args, settings), CommandLineResult::usage_error)
            << (args.empty() ? "(none)" : args.back());
    }
}

TEST(CommandLine, ExtendedModeInEverySpelling) {
    const std::vector<std::vector<std::string>> cases = {
        {"FOO", "--extended"}, {"FOO", "-X"}, {"FOO", "/x"}, {"FOO/X/H"}, {"--extended", "FOO", "BAR"},
    };
    for (const auto& args : cases) {
        Settings settings;
        EXPECT_EQ(read_command_line(args, settings), CommandLineResult::run) << args.back();
        EXPECT_TRUE(settings.extended) << args.back();
    }
    Settings plain;
    EXPECT_EQ(read_command_line({"FOO", "/H"}, plain), CommandLineResult::run);
    EXPECT_FALSE(plain.extended);
}

TEST(CommandLine, HelpAndVersion) {
    Settings settings;
    EXPECT_EQ(read_command_line({"--help"}, settings), CommandLineResult::help);
    EXPECT_EQ(read_command_line({"FOO", "--version"}, settings), CommandLineResult::version);
}

}  // namespace
