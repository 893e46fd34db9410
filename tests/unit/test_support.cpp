#include "test_support.h"

#include <cstdio>

std::unique_ptr<Context> fresh_context() {
    auto ctx = std::make_unique<Context>();
    ctx->console.capture = true;
    return ctx;
}

std::string written_output(Context& ctx) {
    std::string text;
    std::FILE* file = ctx.pass2.output;
    std::rewind(file);
    for (int ch = std::fgetc(file); ch != EOF; ch = std::fgetc(file)) text.push_back(static_cast<char>(ch));
    return text;
}
