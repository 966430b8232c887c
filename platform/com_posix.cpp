#include "platform/com.h"

namespace mojing::platform {

namespace {
thread_local int comDepth = 0;
}  // namespace

void CoInitialize() { ++comDepth; }

void CoUninitialize() {
    // An unbalanced call is passed over rather than taking the count below zero.
    if (comDepth > 0) --comDepth;
}

int ComInitializationDepth() { return comDepth; }

}  // namespace mojing::platform
