// The launcher tests' stand-ins for c1541 and petcat, built into this test
// program as well so that both drive the same scripts.
#include "launcher/stand_in_tools.cpp"
