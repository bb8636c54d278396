// The virtual X servers that the ctest fixture xvfb starts (tests/x11/xvfb.sh), for the test
// programs built with KAVREL_XVFB_DIR. Header only; GoogleTest programs alone.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace testing_support {

// The display name (":N") of the test X server `which`; a test failure when there is none.
inline std::string TestServer(const std::string& which) {
    std::ifstream file(std::string(KAVREL_XVFB_DIR) + "/" + which);
    std::string name;
    std::getline(file, name);
    if (name.empty())
        ADD_FAILURE() << "no test X server '" << which << "' in " << KAVREL_XVFB_DIR
                      << ": ctest starts them (test xvfb-start)";
    return name;
}

}  // namespace testing_support
