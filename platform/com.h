#pragma once

// Apartment initialisation has no counterpart here. The calls stay, counted per thread, so that
// their balance can still be seen.
namespace mojing::platform {

void CoInitialize();
void CoUninitialize();
int ComInitializationDepth();  // of the calling thread

}  // namespace mojing::platform
