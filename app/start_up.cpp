#include "app/start_up.h"

namespace mojing {

int StartUp(int /*argc*/, char** /*argv*/) { return 0; }

}  // namespace mojing
