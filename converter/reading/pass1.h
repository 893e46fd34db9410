// Pass 1: reads the source and its include files, reduces every line to a LineRecord with the
// scanner and the operand classifier, and writes the records to the work file.
#pragma once

#include "driver/context.h"

void run_pass1(Context& ctx);
