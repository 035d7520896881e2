#include "ui/FingerKeyboard.h"

#include "teach/Utf8.h"
#include "ui/Fonts.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace keyfall {
namespace {

constexpr double kRows = 5;
constexpr double kGap = 0.08; // between keys, in key widths

// The number a touch-typing course gives each finger: thumb 1 … little finger 5.
int FingerNumber(teach::Finger finger)
{
    switch (finger) {
    case teach::Finger::Thumb: return 1;
    case teach::Finger::LeftIndex:
    case teach::Finger::RightIndex: return 2;
    case teach::Finger::LeftMiddle:
    case teach::Finger::RightMiddle: return 3;
    case teach::Finger::LeftRing:
    case teach::Finger::RightRing: return 4;
    case teach::Finger::LeftLittle:
    case teach::Finger::RightLittle: return 5;
    }
    return 0;
}

bool LeftHand(teach::Finger finger)
{
    return finger == teach::Finger::LeftLittle || finger == teach::Finger::LeftRing
           || finger == teach::Finger::LeftMiddle || finger == teach::Finger::LeftIndex;
}

double RowOf(teach::Row row)
{
    return static_cast<double>(static_cast<int>(row));
}

} // namespace

QColor FingerKeyboard::FingerColour(teach::Finger finger)
{
    // Muted tones that keep the night palette and stay apart for the common kinds of colour
    // blindness (they differ in lightness too); the finger's number says the rest.
    switch (finger) {
    case teach::Finger::LeftLittle: return {0x8e, 0x44, 0xad};
    case teach::Finger::LeftRing: return {0x2e, 0x86, 0xc1};
    case teach::Finger::LeftMiddle: return {0x17, 0xa5, 0x89};
    case teach::Finger::LeftIndex: return {0xd4, 0xac, 0x0d};
    case teach::Finger::RightIndex: return {0xe6, 0x7e, 0x22};
    case teach::Finger::RightMiddle: return {0x1e, 0x84, 0x49};
    case teach::Finger::RightRing: return {0x28, 0x74, 0xa6};
    case teach::Finger::RightLittle: return {0xa9, 0x32, 0x26};
    case teach::Finger::Thumb: return {0x70, 0x7b, 0x7c};
    }
    return Qt::gray;
}

FingerKeyboard::FingerKeyboard(const teach::Keymap& keymap, const FrmMain& form, QWidget* parent)
    : QWidget(parent), m_keymap(keymap), m_form(form)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    BuildCaps();
}

void FingerKeyboard::BuildCaps()
{
    double bottomLeft = 0;
    double bottomRight = 0;
    const teach::Key* space = nullptr;
    for (const teach::Key& key : m_keymap.Keys()) {
        QString caption;
        const teach::Symbol& plain = key.levels[0];
        if (plain.character != 0)
            caption = QString::fromStdString(teach::Utf8(plain.character)).toUpper();
        else if (plain.deadKey)
            caption = QStringLiteral("◌");
        m_caps.push_back({key.name, QRectF(key.left, RowOf(key.row), key.width, 1), caption, key.finger, key.bump});
        m_columns = std::max(m_columns, key.left + key.width);
        if (key.row == teach::Row::Bottom) {
            bottomLeft = bottomLeft == 0 ? key.left : std::min(bottomLeft, key.left);
            bottomRight = std::max(bottomRight, key.left + key.width);
        }
        if (key.row == teach::Row::Space)
            space = &key;
    }
    // The modifiers the model does not list but a lit character may need.
    const double bottom = RowOf(teach::Row::Bottom);
    m_caps.push_back({"LFSH", QRectF(0, bottom, bottomLeft, 1), QStringLiteral("⇧"), teach::Finger::LeftLittle, false});
    m_caps.push_back({"RTSH", QRectF(bottomRight, bottom, m_columns - bottomRight, 1), QStringLiteral("⇧"),
                      teach::Finger::RightLittle, false});
    if (space) {
        const double right = space->left + space->width;
        m_caps.push_back({"RALT", QRectF(right, RowOf(teach::Row::Space), 1.5, 1), QStringLiteral("AltGr"),
                          teach::Finger::Thumb, false});
    }
}

QSize FingerKeyboard::sizeHint() const
{
    return {static_cast<int>(m_columns * 40), static_cast<int>(kRows * 40)};
}

QRectF FingerKeyboard::Unit() const
{
    // Keys as wide as the widget allows, never more than one and a half times as wide as tall.
    const double row = height() / kRows;
    const double width = std::min(this->width() / m_columns, row * 1.5);
    const double left = (this->width() - width * m_columns) / 2;
    return {left, 0, width, row};
}

QRect FingerKeyboard::KeyRect(const std::string& name) const
{
    const QRectF unit = Unit();
    for (const Cap& cap : m_caps) {
        if (cap.name != name)
            continue;
        const QRectF r(unit.x() + (cap.place.x() + kGap / 2) * unit.width(), (cap.place.y() + kGap / 2) * unit.height(),
                       (cap.place.width() - kGap) * unit.width(), (1 - kGap) * unit.height());
        return r.toAlignedRect();
    }
    return {};
}

void FingerKeyboard::UpdateKey(const std::string& name)
{
    if (!name.empty())
        update(KeyRect(name).adjusted(-2, -2, 2, 2));
}

void FingerKeyboard::Light(const std::string& key, teach::Modifiers modifiers)
{
    std::string shift;
    if ((static_cast<int>(modifiers) & static_cast<int>(teach::Modifiers::Shift)) != 0) {
        // The Shift of the other hand, so that one hand never holds Shift and types the key.
        const teach::Key* typed = m_keymap.KeyNamed(key);
        shift = typed && LeftHand(typed->finger) ? "RTSH" : "LFSH";
    }
    const bool altGr = (static_cast<int>(modifiers) & static_cast<int>(teach::Modifiers::AltGr)) != 0;
    const bool wasAltGr = (static_cast<int>(m_litModifiers) & static_cast<int>(teach::Modifiers::AltGr)) != 0;
    if (key == m_litKey && shift == m_litShift && altGr == wasAltGr)
        return;
    UpdateKey(m_litKey);
    UpdateKey(m_litShift);
    if (wasAltGr || altGr)
        UpdateKey("RALT");
    m_litKey = key;
    m_litShift = shift;
    m_litModifiers = modifiers;
    UpdateKey(m_litKey);
    UpdateKey(m_litShift);
}

void FingerKeyboard::Refresh()
{
    const int lowest = m_form.LowestLetter();
    const std::string character =
        lowest < 0 ? std::string() : m_form.lblLetter[static_cast<std::size_t>(lowest)].Caption;
    if (character == m_shownCharacter)
        return;
    m_shownCharacter = character;
    const auto stroke = character.empty() ? std::nullopt : m_keymap.StrokeFor(character);
    if (stroke)
        Light(stroke->key->name, stroke->modifiers);
    else
        Light({}, teach::Modifiers::None);
}

void FingerKeyboard::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF unit = Unit();
    QFont captionFont = Verdana(9, true);
    captionFont.setPixelSize(std::max(7, static_cast<int>(unit.height() * 0.42)));
    QFont numberFont = Verdana(6, false);
    numberFont.setPixelSize(std::max(6, static_cast<int>(unit.height() * 0.26)));
    const bool altGr = (static_cast<int>(m_litModifiers) & static_cast<int>(teach::Modifiers::AltGr)) != 0;
    for (const Cap& cap : m_caps) {
        const QRect rect = KeyRect(cap.name);
        if (!event->rect().intersects(rect.adjusted(-2, -2, 2, 2)))
            continue;
        const bool lit = cap.name == m_litKey || cap.name == m_litShift || (altGr && cap.name == "RALT");
        const QColor colour = FingerColour(cap.finger);
        const qreal radius = unit.height() * 0.15;
        painter.setPen(lit ? QPen(Qt::white, 2) : QPen(colour.darker(160), 1));
        painter.setBrush(lit ? colour.lighter(150) : colour.darker(220));
        painter.drawRoundedRect(rect, radius, radius);
        painter.setPen(lit ? Qt::black : colour.lighter(170));
        painter.setFont(captionFont);
        painter.drawText(rect, Qt::AlignCenter, cap.caption);
        if (cap.name.size() == 4 && cap.name != "LFSH" && cap.name != "RTSH" && cap.name != "RALT") {
            painter.setFont(numberFont);
            painter.drawText(rect.adjusted(3, 1, -3, -1), Qt::AlignRight | Qt::AlignTop,
                             QString::number(FingerNumber(cap.finger)));
        }
        if (cap.bump) {
            const int y = rect.bottom() - std::max(2, rect.height() / 6);
            const int half = rect.width() / 6;
            painter.drawLine(rect.center().x() - half, y, rect.center().x() + half, y);
        }
    }
}

} // namespace keyfall
