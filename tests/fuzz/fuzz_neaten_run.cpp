// A whole neaten run over fuzzed bytes as the .SRC file.
#include <cstdint>
#include <sstream>
#include <string>

#include "formatter.h"
#include "scratch_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzScratch scratch;
    FuzzScratch::write("HPROG.SRC", std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream console;
    NeatenRun run{console};
    run_neaten(run, {"HPROG"});
    return 0;
}
