// One source line through the scanner and the operand classifier, as pass 1 sees it.
#include <cstdint>
#include <string>

#include "reading/classifier.h"
#include "reading/scanner.h"
#include "reading/text_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Context ctx;
    ctx.console.capture = true;
    ctx.macro_names.capacity = 4;
    macro_name_put(ctx.macro_names, ctx.console, "MAC");
    std::string line(reinterpret_cast<const char*>(data), size);
    if (auto nul = line.find('\0'); nul != std::string::npos) line.erase(nul);
    line = upper_case(line.substr(0, 254)) + "\n";
    LineRecord record;
    std::uint16_t code = scan_line(ctx, line, record);
    if (is_instruction(code)) classify_operands(ctx, line, record);
    if (record.col1 >= line.size() || record.col2 >= line.size()) __builtin_trap();
    return 0;
}
