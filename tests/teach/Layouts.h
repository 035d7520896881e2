#pragma once
// Keymaps compiled from layout names with the system's XKB data, for the tests of what is
// built on them.

#include "teach/Keymap.h"

#include <stdexcept>
#include <string>

namespace keyfall::test {

inline teach::Keymap Compiled(const std::string& layout, const std::string& model = "pc105")
{
    teach::KeymapResult result = teach::KeymapFromNames("evdev", model, layout);
    if (!result.keymap)
        throw std::runtime_error(result.error);
    return std::move(*result.keymap);
}

} // namespace keyfall::test
