#include "ui/OptionsDialog.h"

#include "ui/Cursors.h"
#include "ui/Fonts.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace keyfall {
namespace {

constexpr int kLineWidth = 3; // the blue separators
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kBlue(0x00, 0x00, 0xFF);

// A picture box: a sunken frame filled with its colour, and inside the border a client area
// that holds (and clips) the box's controls, whose positions count from that area.
QWidget* PictureBox(QWidget* parent, const Control& design, const QColor& color, const Metrics& m, QFrame*& frame)
{
    frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    frame->setLineWidth(m.Scaled(kBorderWidth));
    frame->setGeometry(m.PxRect(design));
    Fill(frame, color);
    auto* client = new QWidget(frame);
    client->setGeometry(frame->contentsRect());
    return client;
}

enum class Sizing { Auto, Box };

// A transparent label. An auto-sized one keeps its left and top and takes its text's size;
// the others keep their box, and wrap where `wrap` is set.
QLabel* MakeLabel(QWidget* parent, const Label& design, const QFont& font, const QColor& color, Qt::Alignment alignment,
                  const Metrics& m, Sizing sizing, bool wrap = false)
{
    auto* label = keyfall::MakeLabel(parent, design.Caption, color, alignment | Qt::AlignTop);
    label->setFont(m.Font(font));
    label->setWordWrap(wrap);
    label->setGeometry(m.PxRect(design));
    if (sizing == Sizing::Auto)
        label->adjustSize();
    return label;
}

// A line BorderWidth pixels thick is centred on its coordinates.
void MakeLine(QWidget* parent, const FrmOptions::Line& line, const Metrics& m)
{
    auto* widget = new QWidget(parent);
    const int thickness = m.Scaled(kLineWidth);
    widget->setGeometry(m.Px(line.X1), m.Px(line.Y1) - thickness / 2, m.Px(line.X2) - m.Px(line.X1), thickness);
    Fill(widget, kBlue);
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
}

QPushButton* MakeButton(QWidget* parent, const Button& design, const Metrics& m)
{
    auto* button = keyfall::MakeButton(parent);
    button->setFont(m.Font(Verdana(9.75, true)));
    button->setGeometry(m.PxRect(design));
    SetCaption(button, design.Caption);
    PlatformColours(button);
    return button;
}

// White caption on black with a visible white circle and a dark dot.
QRadioButton* MakeOption(QWidget* parent, const OptionButton& design, const Metrics& m)
{
    auto* option = new QRadioButton(Text(design.Caption), parent);
    option->setFont(m.Font(Verdana(14.25, false)));
    option->setPalette(OptionPalette(option->palette()));
    option->setGeometry(m.PxRect(design));
    option->setChecked(design.Value);
    return option;
}

// Bars show their maximum at the top, so that the up arrow, the Up key and a click above the
// thumb raise the number. A QScrollBar has its minimum at the top and its up arrow always
// lowers its own value, so the widget holds the value mirrored within the range.
int WidgetValue(const ScrollBar& bar, int value)
{
    return bar.Min + bar.Max - value;
}

} // namespace

OptionsDialog::OptionsDialog(Settings& settings, SettingsStore& store, QWidget* field, QWidget* parent,
                             const Metrics& metrics)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_form(settings, store, *this), m_metrics(metrics)
{
    setWindowTitle(QStringLiteral("Options"));
    setModal(true);
    Fill(this, Qt::black);
    BuildWidgets();
    Handle([this] { m_form.Form_Load(); });

    // Exactly over the playing field: same size, same place on the screen.
    const QSize size(m_metrics.Px(m_form.Width), m_metrics.Px(m_form.Height));
    const QPoint place = field ? field->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    setGeometry(QRect(place, size));
    setFixedSize(size);
    m_picture1->setFocus(Qt::OtherFocusReason);
}

void OptionsDialog::BuildWidgets()
{
    QWidget* client = PictureBox(this, m_form.Picture1, Qt::black, m_metrics, m_picture1);
    m_picture1->setFocusPolicy(Qt::StrongFocus);
    QPalette whiteOnBlack = client->palette();
    whiteOnBlack.setColor(QPalette::WindowText, Qt::white);
    client->setPalette(whiteOnBlack);

    // Labels and lines are drawn beneath the windowed controls, so they come first.
    const QFont title = Verdana(14.25, false);
    const QFont text = Verdana(12, false);
    MakeLabel(client, m_form.Label7, Verdana(24, true), Qt::white, Qt::AlignHCenter, m_metrics, Sizing::Auto);
    MakeLabel(client, m_form.Label1, title, kRed, Qt::AlignHCenter, m_metrics, Sizing::Auto);
    MakeLabel(client, m_form.Label2, text, Qt::white, Qt::AlignLeft, m_metrics, Sizing::Box, true);
    MakeLabel(client, m_form.Label3, title, kRed, Qt::AlignLeft, m_metrics, Sizing::Auto);
    MakeLabel(client, m_form.Label4, title, kRed, Qt::AlignHCenter, m_metrics, Sizing::Auto);
    MakeLabel(client, m_form.Label5, title, kRed, Qt::AlignHCenter, m_metrics, Sizing::Auto);
    MakeLabel(client, m_form.Label6, title, kRed, Qt::AlignHCenter, m_metrics, Sizing::Auto);
    MakeLabel(client, m_form.Label8, title, Qt::white, Qt::AlignLeft, m_metrics, Sizing::Auto);
    MakeLabel(client, m_form.Label11, title, Qt::white, Qt::AlignLeft, m_metrics, Sizing::Auto);
    MakeLabel(client, m_form.Label14, title, Qt::white, Qt::AlignLeft, m_metrics, Sizing::Auto);
    MakeLabel(client, m_form.Label10, text, Qt::white, Qt::AlignLeft, m_metrics, Sizing::Box, true);
    for (const auto* line : {&m_form.Line1, &m_form.Line2, &m_form.Line4})
        MakeLine(client, *line, m_metrics);

    for (int i = 0; i < kEditors; ++i) {
        const auto e = static_cast<Editor>(i);
        const auto index = static_cast<std::size_t>(i);
        QWidget* box = PictureBox(client, m_form.NumberBox(e), Qt::white, m_metrics, m_boxes[index]);
        m_boxes[index]->setFocusPolicy(Qt::StrongFocus);
        // The label first: the bar is drawn over the part of it that reaches under the bar.
        m_numbers[index] =
            MakeLabel(box, m_form.NumberLabel(e), Arial(14.25, true), kBlue, Qt::AlignHCenter, m_metrics, Sizing::Box);
        const ScrollBar& design = m_form.Bar(e);
        QScrollBar* bar = MakeScrollBar(box);
        bar->setGeometry(m_metrics.PxRect(design));
        bar->setRange(design.Min, design.Max);
        bar->setSingleStep(design.SmallChange);
        bar->setPageStep(design.LargeChange);
        bar->setValue(WidgetValue(design, design.Value));
        // While the thumb is dragged only sliderMoved comes (the scroll event); the value, and
        // with it the change event, follows when the thumb is let go.
        bar->setTracking(false);
        bar->setFocusPolicy(Qt::StrongFocus);
        PlatformColours(bar);
        connect(bar, &QScrollBar::valueChanged, this, [this, e](int value) {
            Handle([this, e, value] { m_form.SetBarValue(e, WidgetValue(m_form.Bar(e), value)); });
        });
        connect(bar, &QScrollBar::sliderMoved, this, [this, e](int value) {
            Handle([this, e, value] { m_form.DragThumb(e, WidgetValue(m_form.Bar(e), value)); });
        });
        m_bars[index] = bar;
    }

    m_cmdApply = MakeButton(client, m_form.cmdApply, m_metrics);
    m_cmdApply->setEnabled(m_form.cmdApply.Enabled);
    m_cmdClose = MakeButton(client, m_form.cmdClose, m_metrics);
    connect(m_cmdApply, &QPushButton::clicked, this, [this] { Handle([this] { m_form.cmdApply_Click(); }); });
    connect(m_cmdClose, &QPushButton::clicked, this, [this] { Handle([this] { m_form.cmdClose_Click(); }); });
    // A dialog's push buttons take Return by default, and Return would then close the window
    // on "TORNA AL GIOCO" and drop what was not applied. Like Escape, Return does nothing here.
    for (QPushButton* button : {m_cmdApply, m_cmdClose}) {
        button->setAutoDefault(false);
        button->installEventFilter(this);
    }

    for (int i = 0; i < kOptions; ++i) {
        auto* option = MakeOption(client, m_form.Option1[static_cast<std::size_t>(i)], m_metrics);
        connect(option, &QRadioButton::toggled, this, [this, i](bool checked) {
            if (checked)
                Handle([this, i] { m_form.SelectOption(i); });
        });
        m_options[static_cast<std::size_t>(i)] = option;
    }

    // Tab order: the panel, the selected option, close, apply, then each
    // number box and its bar from the hard-high box back to the rounds box.
    QWidget* previous = m_picture1;
    const auto chain = [&previous](QWidget* next) {
        setTabOrder(previous, next);
        previous = next;
    };
    for (int i = kOptions - 1; i >= 0; --i)
        chain(m_options[static_cast<std::size_t>(i)]);
    chain(m_cmdClose);
    chain(m_cmdApply);
    for (Editor e : {Editor::HardHigh, Editor::HardLow, Editor::MedHigh, Editor::MedLow, Editor::EasyHigh,
                     Editor::EasyLow, Editor::Rounds}) {
        chain(numberBox(e));
        chain(bar(e));
    }
}

void OptionsDialog::Handle(const std::function<void()>& handler)
{
    handler();
    Mirror();
}

void OptionsDialog::Mirror()
{
    for (int i = 0; i < kEditors; ++i) {
        const auto e = static_cast<Editor>(i);
        QScrollBar* widget = bar(e);
        const int value = WidgetValue(m_form.Bar(e), m_form.Bar(e).Value);
        // A thumb being dragged stays where the player holds it; its value follows on release.
        if (!widget->isSliderDown() && widget->value() != value) {
            const QSignalBlocker block(widget);
            widget->setValue(value);
        }
        const QString caption = Text(m_form.NumberLabel(e).Caption);
        if (numberLabel(e)->text() != caption)
            numberLabel(e)->setText(caption);
    }
    for (int i = 0; i < kOptions; ++i) {
        QRadioButton* widget = option(i);
        const bool checked = m_form.Option1[static_cast<std::size_t>(i)].Value;
        if (widget->isChecked() != checked) {
            const QSignalBlocker block(widget);
            widget->setChecked(checked);
        }
    }
    TabToSelectedOption(m_options);
    if (m_cmdApply->isEnabled() != m_form.cmdApply.Enabled)
        m_cmdApply->setEnabled(m_form.cmdApply.Enabled);
    const std::array<std::pair<QPushButton*, const Button*>, 2> buttons{
        {{m_cmdApply, &m_form.cmdApply}, {m_cmdClose, &m_form.cmdClose}}};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const auto [widget, design] = buttons[i];
        if (m_shownIcons[i] == design->MouseIcon)
            continue;
        m_shownIcons[i] = design->MouseIcon;
        if (const QCursor* cursor = CursorFor(design->MouseIcon))
            widget->setCursor(*cursor);
        else
            widget->unsetCursor();
    }
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (type == QEvent::MouseMove || type == QEvent::MouseButtonPress) {
        Button* button = watched == m_cmdApply ? &m_form.cmdApply : watched == m_cmdClose ? &m_form.cmdClose : nullptr;
        if (button) {
            if (type == QEvent::MouseMove)
                Handle([this, button] { m_form.MouseMoveOn(*button); });
            else
                Handle([this, button] { m_form.MousePressOn(*button); });
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OptionsDialog::Unload()
{
    done(QDialog::Accepted);
}

void OptionsDialog::reject()
{
    // Escape and the window manager's close do nothing: the window closes only through
    // "TORNA AL GIOCO", as it has no border and no close box.
}

} // namespace keyfall
