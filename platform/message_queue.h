#pragma once

// A thread's window-message queue. Worker threads here have none, so there is never input
// waiting and nothing to dispatch.
namespace mojing::platform {

bool GetInputState();
void ProcessPendingMessages();

}  // namespace mojing::platform
