#include "test_support.h"

std::unique_ptr<Context> fresh_context() {
    auto ctx = std::make_unique<Context>();
    ctx->console.capture = true;
    return ctx;
}
