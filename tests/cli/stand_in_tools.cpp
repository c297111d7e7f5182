// The launcher tests' stand-ins for c1541 and petcat, built into this test
// program as well, here found on PATH.
#include "launcher/stand_in_tools.cpp"
