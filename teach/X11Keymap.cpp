#include "teach/X11Keymap.h"

#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-x11.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace keyfall::teach {
namespace {

struct ReplyFree {
    void operator()(void* reply) const { std::free(reply); }
};

// The keyboard model the server was set up with: the second of the names in the root
// window's _XKB_RULES_NAMES (rules, model, layout, variant, options, each ended by a null
// byte). Empty when the server does not say.
std::string ServerModel(xcb_connection_t* connection)
{
    constexpr std::string_view kProperty = "_XKB_RULES_NAMES";
    const xcb_intern_atom_cookie_t atomCookie =
        xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(kProperty.size()), kProperty.data());
    const std::unique_ptr<xcb_intern_atom_reply_t, ReplyFree> atom(
        xcb_intern_atom_reply(connection, atomCookie, nullptr));
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    if (!atom || atom->atom == XCB_ATOM_NONE || screens.rem == 0)
        return {};
    const xcb_get_property_cookie_t propertyCookie =
        xcb_get_property(connection, 0, screens.data->root, atom->atom, XCB_ATOM_STRING, 0, 1024);
    const std::unique_ptr<xcb_get_property_reply_t, ReplyFree> property(
        xcb_get_property_reply(connection, propertyCookie, nullptr));
    if (!property || property->format != 8)
        return {};
    const std::string_view names(static_cast<const char*>(xcb_get_property_value(property.get())),
                                 static_cast<std::size_t>(xcb_get_property_value_length(property.get())));
    const std::size_t modelStart = names.find('\0');
    if (modelStart == std::string_view::npos)
        return {};
    const std::string_view rest = names.substr(modelStart + 1);
    return std::string(rest.substr(0, rest.find('\0')));
}

} // namespace

KeymapResult KeymapFromX11(xcb_connection_t* connection)
{
    if (xkb_x11_setup_xkb_extension(connection, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)
        == 0)
        return {std::nullopt, "the X server has no usable XKB extension"};
    const std::int32_t device = xkb_x11_get_core_keyboard_device_id(connection);
    if (device == -1)
        return {std::nullopt, "the X server names no core keyboard"};

    const std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(
        xkb_context_new(
            static_cast<xkb_context_flags>(XKB_CONTEXT_NO_DEFAULT_INCLUDES | XKB_CONTEXT_NO_ENVIRONMENT_NAMES)),
        &xkb_context_unref);
    if (!context)
        return {std::nullopt, "cannot set up libxkbcommon"};
    // The server's keymap arrives compiled: nothing is read from files, and the notes
    // libxkbcommon may have about it are no concern of the player's. Failures come back as
    // the errors below; nothing is printed.
    xkb_context_set_log_fn(context.get(), [](xkb_context*, xkb_log_level, const char*, va_list) {});
    const std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
        xkb_x11_keymap_new_from_device(context.get(), connection, device, XKB_KEYMAP_COMPILE_NO_FLAGS),
        &xkb_keymap_unref);
    if (!keymap)
        return {std::nullopt, "cannot read the keyboard's keymap from the X server"};
    const std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(
        xkb_x11_state_new_from_device(keymap.get(), connection, device), &xkb_state_unref);
    const xkb_layout_index_t layout = state ? xkb_state_serialize_layout(state.get(), XKB_STATE_LAYOUT_EFFECTIVE) : 0;
    return {Keymap(keymap.get(), layout, BoardOfModel(ServerModel(connection))), {}};
}

} // namespace keyfall::teach
