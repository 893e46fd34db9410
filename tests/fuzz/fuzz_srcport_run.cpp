// A whole srcport run over fuzzed bytes: the source file and, split off at a marker line, one
// include file, converted with and without /H and in the extended mode. The files are held in
// memory, so that a run touches nothing on disk and runs never see each other's files.
#include <cstdint>
#include <string>
#include <string_view>

#include "driver/srcport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    constexpr std::string_view marker = "\n#INCLUDE-FILE#\n";
    std::size_t split = bytes.find(marker);
    MemoryFiles files;
    files["PROG.ASM"] = bytes.substr(0, split);
    files["INC.ASM"] = split == std::string_view::npos ? "" : bytes.substr(split + marker.size());
    for (const char* option : {"/D50", "/H", "/X"}) {
        Context ctx;
        ctx.console.capture = true;
        ctx.files.memory = &files;
        run_srcport(ctx, {"PROG", option});
    }
    return 0;
}
