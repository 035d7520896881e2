#pragma once
// Where the player's keyboard layout comes from: the X server's keymap on X11 (what the
// player types with, whatever the desktop set), else the system's keyboard configuration
// (/etc/default/keyboard, what Debian's installer and localectl write), else US.

#include "teach/Keymap.h"

#include <functional>
#include <optional>
#include <string>

namespace keyfall {

teach::KeymapResult PlayerKeymap();

// The player's keyboard, read the first time something asks for it (the on-screen keyboard,
// the training sets), once for the whole run.
class KeymapHolder {
public:
    using Source = std::function<teach::KeymapResult()>;
    explicit KeymapHolder(Source source) : m_source(std::move(source)) {}
    // The keymap, or null when it cannot be read (Problem() says why).
    const teach::Keymap* Get();
    const std::string& Problem() const { return m_problem; }

private:
    Source m_source;
    bool m_read = false;
    std::optional<teach::Keymap> m_keymap;
    std::string m_problem;
};

} // namespace keyfall
