/* The same program built as C++17. */
#include "flags_hash.c"
