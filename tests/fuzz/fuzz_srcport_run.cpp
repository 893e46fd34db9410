// A whole srcport run over fuzzed bytes: the source file and, split off at a marker line, one
// include file, converted with and without /H.
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "driver/srcport.h"
#include "scratch_dir.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // An include name such as /dev/stdin must not wait for input.
    if (std::freopen("/dev/null", "r", stdin) == nullptr) return 1;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view marker = "\n#INCLUDE-FILE#\n";
    std::size_t split = bytes.find(marker);
    std::string source(bytes.substr(0, split));
    std::string include = split == std::string_view::npos ? "" : std::string(bytes.substr(split + marker.size()));

    FuzzScratch scratch;
    FuzzScratch::write("PROG.ASM", source);
    FuzzScratch::write("INC.ASM", include);
    for (const char* option : {"/D50", "/H"}) {
        Context ctx;
        ctx.console.capture = true;
        run_srcport(ctx, {"PROG", option});
    }
    return 0;
}
