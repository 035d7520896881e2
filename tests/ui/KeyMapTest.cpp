#include "ui/KeyMap.h"

#include <QTest>

using keyfall::ShiftState;
using keyfall::TypedCharacter;
using keyfall::VirtualKeyCode;

class KeyMapTest : public QObject {
    Q_OBJECT

    static std::optional<std::int16_t> Code(int key, Qt::KeyboardModifiers modifiers, const QString& text,
                                            quint32 scanCode = 0)
    {
        const QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
        return VirtualKeyCode(event);
    }

private slots:
    void lettersAreUpperCaseWhateverShiftSays()
    {
        QCOMPARE(Code(Qt::Key_A, Qt::NoModifier, "a"), std::optional<std::int16_t>(65));
        QCOMPARE(Code(Qt::Key_A, Qt::ShiftModifier, "A"), std::optional<std::int16_t>(65));
        QCOMPARE(Code(Qt::Key_Z, Qt::NoModifier, "z"), std::optional<std::int16_t>(90));
    }

    void digitRowKeysGiveTheirDigitEvenShifted()
    {
        QCOMPARE(Code(Qt::Key_5, Qt::NoModifier, "5", 14), std::optional<std::int16_t>(53));
        QCOMPARE(Code(Qt::Key_Exclam, Qt::ShiftModifier, "!", 10), std::optional<std::int16_t>(49));
        QCOMPARE(Code(Qt::Key_ParenRight, Qt::ShiftModifier, ")", 19), std::optional<std::int16_t>(48));
        // Without a native code (synthetic events) the key itself decides.
        QCOMPARE(Code(Qt::Key_7, Qt::NoModifier, "7"), std::optional<std::int16_t>(55));
    }

    void keypadDigitsAreNinetySixOn()
    {
        QCOMPARE(Code(Qt::Key_0, Qt::KeypadModifier, "0"), std::optional<std::int16_t>(96));
        QCOMPARE(Code(Qt::Key_9, Qt::KeypadModifier, "9"), std::optional<std::int16_t>(105));
        QCOMPARE(Code(Qt::Key_Enter, Qt::KeypadModifier, "\r"), std::optional<std::int16_t>(13));
    }

    void namedKeys()
    {
        QCOMPARE(Code(Qt::Key_F1, Qt::NoModifier, ""), std::optional<std::int16_t>(112));
        QCOMPARE(Code(Qt::Key_F12, Qt::NoModifier, ""), std::optional<std::int16_t>(123));
        QCOMPARE(Code(Qt::Key_Space, Qt::NoModifier, " "), std::optional<std::int16_t>(32));
        QCOMPARE(Code(Qt::Key_Shift, Qt::ShiftModifier, ""), std::optional<std::int16_t>(16));
        QCOMPARE(Code(Qt::Key_Escape, Qt::NoModifier, "\x1b"), std::optional<std::int16_t>(27));
        QCOMPARE(Code(Qt::Key_Backspace, Qt::NoModifier, "\b"), std::optional<std::int16_t>(8));
        QCOMPARE(Code(Qt::Key_Return, Qt::NoModifier, "\r"), std::optional<std::int16_t>(13));
        QCOMPARE(Code(Qt::Key_Comma, Qt::NoModifier, ","), std::optional<std::int16_t>(188));
        QCOMPARE(Code(Qt::Key_unknown, Qt::NoModifier, ""), std::optional<std::int16_t>());
    }

    void onlyTypingKeysGiveACharacter()
    {
        const auto typed = [](int key, Qt::KeyboardModifiers modifiers, const QString& text) {
            return TypedCharacter(QKeyEvent(QEvent::KeyPress, key, modifiers, text));
        };
        using Typed = std::optional<char32_t>;
        QCOMPARE(typed(Qt::Key_A, Qt::ShiftModifier, "A"), Typed(U'A'));
        QCOMPARE(typed(Qt::Key_Agrave, Qt::NoModifier, QStringLiteral("à")), Typed(U'à'));
        // AltGr is how Italian keyboards type "@" and "#": a character, not a chord.
        QCOMPARE(typed(Qt::Key_At, Qt::GroupSwitchModifier, "@"), Typed(U'@'));
        QCOMPARE(typed(Qt::Key_Space, Qt::NoModifier, " "), Typed(U' '));
        QCOMPARE(typed(Qt::Key_Backspace, Qt::NoModifier, "\b"), Typed(U'\b'));
        QCOMPARE(typed(Qt::Key_Enter, Qt::KeypadModifier, "\r"), Typed(U'\r'));
        QCOMPARE(typed(Qt::Key_Escape, Qt::NoModifier, "\x1b"), Typed(U'\x1b'));
        QCOMPARE(typed(Qt::Key_Delete, Qt::NoModifier, "\x7f"), Typed());
        QCOMPARE(typed(Qt::Key_A, Qt::AltModifier, "a"), Typed());
        QCOMPARE(typed(Qt::Key_A, Qt::MetaModifier, "a"), Typed());
        QCOMPARE(typed(Qt::Key_F1, Qt::NoModifier, ""), Typed());
        // A dead key alone types nothing, so it costs nothing; what it composes with the next
        // key arrives as that key's character, "é" from dead acute and e.
        QCOMPARE(typed(Qt::Key_Dead_Acute, Qt::NoModifier, ""), Typed());
        QCOMPARE(typed(Qt::Key_Dead_Circumflex, Qt::ShiftModifier, ""), Typed());
        QCOMPARE(typed(Qt::Key_E, Qt::NoModifier, QStringLiteral("é")), Typed(U'é'));
        QCOMPARE(typed(Qt::Key_Egrave, Qt::ShiftModifier, QStringLiteral("é")), Typed(U'é'));
    }

    void ctrlTypesControlCharacters()
    {
        const auto typed = [](int key, Qt::KeyboardModifiers modifiers, const QString& text) {
            return TypedCharacter(QKeyEvent(QEvent::KeyPress, key, modifiers, text));
        };
        using Typed = std::optional<char32_t>;
        // X11 hands over the control character, other platforms the letter: the same either way.
        QCOMPARE(typed(Qt::Key_A, Qt::ControlModifier, "\x01"), Typed(U'\x01'));
        QCOMPARE(typed(Qt::Key_A, Qt::ControlModifier, "a"), Typed(U'\x01'));
        QCOMPARE(typed(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, "Z"), Typed(U'\x1a'));
        QCOMPARE(typed(Qt::Key_Return, Qt::ControlModifier, "\r"), Typed(U'\n'));
        QCOMPARE(typed(Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier, "\r"), Typed(U'\n'));
        // Ctrl with anything else, and Ctrl with Alt, type nothing.
        QCOMPARE(typed(Qt::Key_1, Qt::ControlModifier, "1"), Typed());
        QCOMPARE(typed(Qt::Key_Delete, Qt::ControlModifier, "\x7f"), Typed());
        QCOMPARE(typed(Qt::Key_Control, Qt::ControlModifier, ""), Typed());
        QCOMPARE(typed(Qt::Key_A, Qt::ControlModifier | Qt::AltModifier, "\x01"), Typed());
    }

    void shiftState()
    {
        QCOMPARE(ShiftState(Qt::NoModifier), std::int16_t{0});
        QCOMPARE(ShiftState(Qt::ShiftModifier | Qt::AltModifier), std::int16_t{5});
        QCOMPARE(ShiftState(Qt::ControlModifier | Qt::KeypadModifier), std::int16_t{2});
    }
};

QTEST_GUILESS_MAIN(KeyMapTest)
#include "KeyMapTest.moc"
