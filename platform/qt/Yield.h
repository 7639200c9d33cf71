#pragma once
// Lets pending window events run once, so long loops keep the windows responsive.

namespace platform {

// Cheap when nothing is pending; does nothing without an application object (command line).
void DoEvents();

} // namespace platform
