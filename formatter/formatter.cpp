#include "formatter.h"
