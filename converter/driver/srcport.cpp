#include "driver/srcport.h"

#include "driver/command_line.h"
#include "driver/replaced_file.h"
#include "reading/pass1.h"
#include "translating/pass2.h"

namespace {

void print_usage(Console& console) {
    console.write(
        "Usage: srcport HD64180_Source_File[.ASM] [d:][dir\\][Output_File[.SRC]]\n\n"
        " Opt.:  /D****  Data  Name max (Range:1-2000 default:1000)\n"
        "        /M****  Macro Name max (Range:1-1000 default: 100)\n"
        "        /H      Copy H8/300 mnemonic area to HD64180 mnemonic area\n"
        "                at H8source(\\..) line\n"
        "H8SRC:  insert '\\' to 0 colum\n");
}

// The options a Linux user looks for, shown by --help after the usage text.
void print_long_options(Console& console) {
    console.write(
        "        --little-endian    words in data memory low byte first, as on the HD64180 (/L)\n"
        "        --extended         sources for the CP/M-era relocating assemblers (/X)\n"
        "        --gas              the H8/300 file for the GNU assembler, with a linker script (/G)\n"
        "        --diagnostics=gnu  line messages as FILE:LINE: error: TEXT, for editors\n"
        "        --fail-on-error    exit status 2 when any line was reported as an error\n"
        "        --help, --version  this text, the version line\n");
}

int convert(Context& ctx, const std::vector<std::string>& args) {
    try {
        for (const std::string& arg : args) {
            if (arg == "--version") {
                ctx.console.print("%s\n", banner_line);
                return 0;
            }
            if (arg == "--help") {
                print_usage(ctx.console);
                print_long_options(ctx.console);
                return 0;
            }
        }
        ctx.console.print("%s\n", banner_line);
        ctx.console.write(" Linux edition: HD64180 source in, H8/300 source and symbol file out\n\n");

        if (read_command_line(args, ctx.settings) != CommandLineResult::run) {
            print_usage(ctx.console);
            return 1;
        }
        const Settings& settings = ctx.settings;
        ctx.console.gnu_line_messages = settings.gnu_diagnostics;
        ctx.console.print("HD68180 SourceFile = '%s'\n", settings.source_path.c_str());
        ctx.console.print("H8/300  SourceFile = '%s'\n", settings.output_path.c_str());
        ctx.console.print("      SymbolicFile = '%s'\n\n", settings.symbolic_path.c_str());

        // Never write over the source, and never let the two outputs overwrite each other.
        if (same_file(ctx.files, settings.source_path, settings.output_path) ||
            same_file(ctx.files, settings.source_path, settings.symbolic_path) ||
            same_file(ctx.files, settings.output_path, settings.symbolic_path) ||
            (settings.gas && (same_file(ctx.files, settings.source_path, settings.script_path) ||
                              same_file(ctx.files, settings.output_path, settings.script_path)))) {
            ctx.console.write("\tSame file_name input,output\n");
            return 1;
        }

        ctx.data_names.capacity = settings.data_name_max;
        ctx.macro_names.capacity = settings.macro_name_max;
        ctx.template_index = build_template_index();

        run_pass1(ctx);
        ctx.console.print("\t%d line(s) Source Program\n", ctx.total_lines);
        run_pass2(ctx);
        ctx.console.write("\nCompleted\n");
        // Lines in error never stop a run; a script that asked for it learns of them here.
        return settings.fail_on_error && ctx.console.error_messages > 0 ? 2 : 0;
    } catch (const FatalExit& exit) {
        return exit.status;
    }
}

}  // namespace

int run_srcport(Context& ctx, const std::vector<std::string>& args) {
    const int status = convert(ctx, args);
    ctx.console.flush();
    return status;
}
