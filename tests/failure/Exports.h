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
};

const std::vector<Export>& Exports();

// Sets the library's engine up through the exports, as a host does.
void PrepareThroughExports(const testing_support::Workspace& files);

// Uses everything the engine holds (every frame computed and shown, the dialog text built), so
// that an inconsistent plane or table shows under the sanitizers.
void UseEverything();

}  // namespace failure_tests
