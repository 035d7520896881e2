#include "ui/Widgets.h"

#include "ui/Fonts.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <algorithm>

namespace keyfall {
namespace {

class FocusMarkedScrollBar : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QScrollBar::paintEvent(event);
        if (!hasFocus())
            return;
        // Around the part that shows: the number boxes clip their bars by a pixel or so.
        const QRect shown = visibleRegion().boundingRect();
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 1));
        painter.drawRect(shown.adjusted(0, 0, -1, -1));
    }
};

} // namespace

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

QPalette WhiteOnBlack(QPalette palette)
{
    for (auto role : {QPalette::Window, QPalette::Base})
        palette.setColor(role, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text})
        palette.setColor(role, Qt::white);
    return palette;
}

QPalette OptionPalette(QPalette palette)
{
    palette = WhiteOnBlack(palette);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    return palette;
}

QPalette SilverFace(QPalette palette)
{
    palette.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
    palette.setColor(QPalette::ButtonText, Qt::black);
    return palette;
}

void Fill(QWidget* widget, const QColor& color)
{
    widget->setAutoFillBackground(true);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
}

void PlatformColours(QWidget* widget)
{
    const QPalette platform = QApplication::palette(widget);
    QPalette palette = widget->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            const auto r = static_cast<QPalette::ColorRole>(role);
            palette.setColor(group, r, platform.color(group, r));
        }
    }
    widget->setPalette(palette);
}

QLabel* MakeLabel(QWidget* parent, const std::string& caption, const QColor& color, Qt::Alignment alignment)
{
    auto* label = new QLabel(Text(caption), parent);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setAlignment(alignment);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

QPushButton* MakeButton(QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setMouseTracking(true);
    return button;
}

void SetCaption(QPushButton* button, const std::string& caption)
{
    // Room for the button's own frame on both sides.
    constexpr int kMargin = 8;
    const QString text = WrapToWidth(Text(caption), button->font(), button->width() - kMargin);
    if (button->text() != text)
        button->setText(text);
}

QScrollBar* MakeScrollBar(QWidget* parent)
{
    return new FocusMarkedScrollBar(Qt::Vertical, parent);
}

void TabToSelectedOption(std::span<QRadioButton* const> group)
{
    const bool anySelected = std::any_of(group.begin(), group.end(), [](QRadioButton* o) { return o->isChecked(); });
    for (QRadioButton* option : group)
        option->setFocusPolicy(option->isChecked() || !anySelected ? Qt::StrongFocus : Qt::ClickFocus);
}

} // namespace keyfall
