#include "ui/KeyMap.h"

#include <unordered_map>

namespace keyfall {
namespace {

// X11 and Wayland key codes of the main-block digit row, "1" to "0". Its keys report their
// digit code by position, whatever the layout or Shift produce, as the game expects.
constexpr quint32 kDigitRowFirst = 10;
constexpr quint32 kDigitRowLast = 19;

const std::unordered_map<int, std::int16_t>& NamedKeys()
{
    // clang-format off
    static const std::unordered_map<int, std::int16_t> keys{
        {Qt::Key_Backspace, 8},  {Qt::Key_Tab, 9},        {Qt::Key_Backtab, 9},     {Qt::Key_Clear, 12},
        {Qt::Key_Return, 13},    {Qt::Key_Enter, 13},     {Qt::Key_Shift, 16},      {Qt::Key_Control, 17},
        {Qt::Key_Alt, 18},       {Qt::Key_AltGr, 18},     {Qt::Key_Pause, 19},      {Qt::Key_CapsLock, 20},
        {Qt::Key_Escape, 27},    {Qt::Key_Space, 32},     {Qt::Key_PageUp, 33},     {Qt::Key_PageDown, 34},
        {Qt::Key_End, 35},       {Qt::Key_Home, 36},      {Qt::Key_Left, 37},       {Qt::Key_Up, 38},
        {Qt::Key_Right, 39},     {Qt::Key_Down, 40},      {Qt::Key_Print, 44},      {Qt::Key_Insert, 45},
        {Qt::Key_Delete, 46},    {Qt::Key_Meta, 91},      {Qt::Key_Super_L, 91},    {Qt::Key_Super_R, 92},
        {Qt::Key_Menu, 93},      {Qt::Key_NumLock, 144},  {Qt::Key_ScrollLock, 145},
        // Punctuation keys, by the character they carry on a US keyboard, shifted or not.
        {Qt::Key_Semicolon, 186}, {Qt::Key_Colon, 186},   {Qt::Key_Equal, 187},     {Qt::Key_Plus, 187},
        {Qt::Key_Comma, 188},    {Qt::Key_Less, 188},     {Qt::Key_Minus, 189},     {Qt::Key_Underscore, 189},
        {Qt::Key_Period, 190},   {Qt::Key_Greater, 190},  {Qt::Key_Slash, 191},     {Qt::Key_Question, 191},
        {Qt::Key_QuoteLeft, 192}, {Qt::Key_AsciiTilde, 192}, {Qt::Key_BracketLeft, 219}, {Qt::Key_BraceLeft, 219},
        {Qt::Key_Backslash, 220}, {Qt::Key_Bar, 220},     {Qt::Key_BracketRight, 221}, {Qt::Key_BraceRight, 221},
        {Qt::Key_Apostrophe, 222}, {Qt::Key_QuoteDbl, 222},
    };
    // clang-format on
    return keys;
}

std::optional<std::int16_t> KeypadCode(int key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<std::int16_t>(96 + (key - Qt::Key_0));
    switch (key) {
    case Qt::Key_Asterisk: return 106;
    case Qt::Key_Plus: return 107;
    case Qt::Key_Minus: return 109;
    case Qt::Key_Period:
    case Qt::Key_Comma: return 110;
    case Qt::Key_Slash: return 111;
    case Qt::Key_Enter: return 13;
    default: return std::nullopt;
    }
}

// What Ctrl types with a key, as a terminal has it: with a letter its control character (Ctrl+A
// 1 to Ctrl+Z 26), with Return or Enter a line feed, with other keys nothing. Worked out from the
// key rather than taken from the event's text, which some platforms leave as the plain letter,
// and the plain letter would hit a falling one.
std::optional<char32_t> ControlCharacter(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<char32_t>(key - Qt::Key_A + 1);
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return U'\n';
    return std::nullopt;
}

} // namespace

std::optional<std::int16_t> VirtualKeyCode(const QKeyEvent& event)
{
    const int key = event.key();
    if (event.modifiers().testFlag(Qt::KeypadModifier)) {
        if (const auto code = KeypadCode(key))
            return code;
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<std::int16_t>(key);
    const quint32 scan = event.nativeScanCode();
    if (scan >= kDigitRowFirst && scan <= kDigitRowLast)
        return static_cast<std::int16_t>(scan == kDigitRowLast ? '0' : '1' + (scan - kDigitRowFirst));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<std::int16_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<std::int16_t>(112 + (key - Qt::Key_F1));
    const auto& named = NamedKeys();
    if (const auto it = named.find(key); it != named.end())
        return it->second;
    return std::nullopt;
}

std::int16_t ShiftState(Qt::KeyboardModifiers modifiers)
{
    std::int16_t state = 0;
    if (modifiers.testFlag(Qt::ShiftModifier))
        state |= 1;
    if (modifiers.testFlag(Qt::ControlModifier))
        state |= 2;
    if (modifiers.testFlag(Qt::AltModifier))
        state |= 4;
    return state;
}

std::optional<char32_t> TypedCharacter(const QKeyEvent& event)
{
    // Alt and Meta chords are commands of the desktop, not typing.
    if (event.modifiers() & (Qt::AltModifier | Qt::MetaModifier))
        return std::nullopt;
    if (event.modifiers() & Qt::ControlModifier)
        return ControlCharacter(event.key());
    const QString text = event.text();
    if (text.isEmpty())
        return std::nullopt;
    const char32_t typed = text.toUcs4().value(0);
    const bool control = typed < U' ' || typed == U'\x7f';
    if (control && typed != U'\b' && typed != U'\r' && typed != U'\x1b')
        return std::nullopt;
    return typed;
}

} // namespace keyfall
