#pragma once
// Reading an installation log in tests: its lines without their time stamps, in order.

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace nx {

// The lines of a log file's bytes (system code page, CR LF), each without "stamp : ".
std::vector<std::string> LogLines(const std::string& bytes);

// Success when wanted stand in lines in this order (other lines may stand between them).
::testing::AssertionResult InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted);

// How many lines begin with prefix.
size_t CountStarting(const std::vector<std::string>& lines, const std::string& prefix);

}  // namespace nx
