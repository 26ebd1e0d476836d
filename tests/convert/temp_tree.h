// Fixture trees of the conversion tests (TempTree, shared with the other
// suites).
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/temp_tree.h"

namespace convert_test {

using TempTree = test_support::TempTree;

}  // namespace convert_test
