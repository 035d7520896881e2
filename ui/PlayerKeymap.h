#pragma once
// Where the player's keyboard layout comes from: the X server's keymap on X11 (what the
// player types with, whatever the desktop set), else the system's keyboard configuration
// (/etc/default/keyboard, what Debian's installer and localectl write), else US.

#include "teach/Keymap.h"

namespace keyfall {

teach::KeymapResult PlayerKeymap();

} // namespace keyfall
