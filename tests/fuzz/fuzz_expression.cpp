// One operand through the evaluator and the expression rewriter, with a name table
// holding values, externals and macro parameters.
#include <cstdint>
#include <string>

#include "expressions/evaluator.h"
#include "expressions/expression_rewriter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    Console console;
    console.capture = true;
    DataNameTable names;
    data_name_put(names, console, "VALUE", 0x1A2B, name_kind::value);
    data_name_put(names, console, "ABCD", 0xABCD, name_kind::value);
    data_name_put(names, console, "EXT", 0, name_kind::external);
    data_name_put(names, console, "PAR", 0, name_kind::macro_parameter);

    EvalState eval;
    const std::uint8_t flags = data[0];
    eval.default_radix = "BODH"[flags & 3];
    eval.in_macro_body = (flags & 4) != 0;
    std::string operand(reinterpret_cast<const char*>(data + 1), size - 1);
    operand = operand.substr(0, 254) + "\n";

    const Width width = (flags & 8) != 0 ? Width::word : Width::byte;
    const Evaluation evaluation = evaluate_operand(eval, names, operand, width);
    if (evaluation.next && *evaluation.next > operand.size()) __builtin_trap();
    std::string translated;
    (void)translate_expression(eval, names, operand, translated);
    return 0;
}
