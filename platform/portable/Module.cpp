#include "platform/Module.h"

namespace platform {

// The portable build is always the kavrel library (or a program linked with its code).
std::string ModuleBaseName() { return "kavrel"; }

}  // namespace platform
