// The broadcast address dialog: edits the list of up to 16 addresses that
// the printer search sends to besides 255.255.255.255, so that printers
// behind routers can be found.
#pragma once
#include <windows.h>

namespace ui {

// Modal on template 262, owned by `owner` (whose font it takes when it has
// one). 1 after OK, with the list saved to the discovery INI; 0 after
// Cancel, with the file left as it was.
INT_PTR ShowBroadcastDialog(HWND owner);

}  // namespace ui
