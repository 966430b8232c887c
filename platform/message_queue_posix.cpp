#include "platform/message_queue.h"

namespace mojing::platform {

bool GetInputState() { return false; }

void ProcessPendingMessages() {}

}  // namespace mojing::platform
