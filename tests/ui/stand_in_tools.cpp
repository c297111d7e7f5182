// The launcher tests' stand-ins for c1541 and petcat, built into this test
// program as well so that "Index D64" drives the same scripts.
#include "launcher/stand_in_tools.cpp"
