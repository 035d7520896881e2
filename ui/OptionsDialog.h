#pragma once
// The options window on screen: a borderless modal dialog, created afresh at each opening,
// lying exactly over the main window's playing field. It owns the window's logic
// (FrmOptions), forwards every widget event to the platform side of it and, after each one,
// mirrors the control state back onto the widgets with their signals blocked, so that the
// program's own changes never come back as events.

#include "options/FrmOptions.h"
#include "ui/Metrics.h"

#include <QDialog>

#include <array>
#include <functional>

class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace keyfall {

class OptionsDialog : public QDialog, public OptionsHost {
    Q_OBJECT
public:
    // `field` is the playing field the window covers (its size is the window's size), drawn
    // at the scale of `metrics`.
    OptionsDialog(Settings& settings, SettingsStore& store, QWidget* field, QWidget* parent = nullptr,
                  const Metrics& metrics = Metrics());

    FrmOptions& form() { return m_form; }

    // OptionsHost
    void Unload() override;

    // The widgets, for the tests.
    QFrame* picture1() const { return m_picture1; }
    QFrame* numberBox(Editor e) const { return m_boxes.at(static_cast<std::size_t>(e)); }
    QScrollBar* bar(Editor e) const { return m_bars.at(static_cast<std::size_t>(e)); }
    QLabel* numberLabel(Editor e) const { return m_numbers.at(static_cast<std::size_t>(e)); }
    QRadioButton* option(int index) const { return m_options.at(static_cast<std::size_t>(index)); }
    QPushButton* cmdApply() const { return m_cmdApply; }
    QPushButton* cmdClose() const { return m_cmdClose; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    void BuildWidgets();
    void Handle(const std::function<void()>& handler);
    void Mirror();

    FrmOptions m_form;
    Metrics m_metrics;
    // The pointers last put on cmdApply and cmdClose.
    std::array<int, 2> m_shownIcons{NoPicture, NoPicture};

    QFrame* m_picture1 = nullptr;
    std::array<QFrame*, kEditors> m_boxes{};
    std::array<QScrollBar*, kEditors> m_bars{};
    std::array<QLabel*, kEditors> m_numbers{};
    std::array<QRadioButton*, kOptions> m_options{};
    QPushButton* m_cmdApply = nullptr;
    QPushButton* m_cmdClose = nullptr;
};

} // namespace keyfall
