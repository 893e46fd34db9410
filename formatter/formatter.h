// neaten: turns a .SRC file written by srcport into a tidy .ASM file.
#pragma once
