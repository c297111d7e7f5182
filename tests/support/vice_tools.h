// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// Where a test finds the real VICE tools c1541 and petcat.

#include <string>

namespace rw::test {

// The folder to look in first for c1541 and petcat: the folder of c1541 on
// PATH when both are on PATH, else the copy kept beside the project
// (<source>/../shared/tools/vice) when it holds both, so that CI runs the
// tests that need them. An empty text when neither has them; `reason` then
// says why, for GTEST_SKIP(). Give the folder to QtToolRunner as its program
// folder, or put it first on a child process's PATH.
std::string RealViceToolsFolder(std::string* reason = nullptr);

}  // namespace rw::test
