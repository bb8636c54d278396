// The 22 exports, compiled into this program, each with arguments for a prepared engine.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "support/Workspace.h"

namespace failure_tests {

struct Export {
    const char* name;
    std::function<void(const testing_support::Workspace&)> call;
    // Whether the export allocates: all but the setters that store an integer, and the ones that
    // only release something.
    bool allocates;
    // Whether it is called with the output display (a file display) open.
    bool display = false;
};

const std::vector<Export>& Exports();

// Sets the library's engine up through the exports, as a host does, and with display opens the
// workspace's file display.
void PrepareThroughExports(const testing_support::Workspace& files, bool display = false);

// Closes the display, then uses what the engine holds (the frames the exports compute shown, a
// frame computed, the dialog text built), so that an inconsistent plane or table shows under the
// sanitizers.
void UseEverything();

}  // namespace failure_tests
