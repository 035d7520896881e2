#pragma once
// The keymap of the X server's core keyboard, read over an X connection the program already
// has (Qt's, on the xcb platform).

#include "teach/Keymap.h"

struct xcb_connection_t;

namespace keyfall::teach {

// Reads the core keyboard's keymap and its active layout through the XKB extension (which
// every X server of a desktop has) and models that layout. `connection` must be an open
// connection; it is only borrowed. A server without the extension, or one that does not
// answer, gives an error rather than a guess.
KeymapResult KeymapFromX11(xcb_connection_t* connection);

} // namespace keyfall::teach
