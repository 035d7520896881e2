#pragma once
// The pieces both windows are built from: the game's palettes and the labels and buttons
// made the same way in each. Geometry and fonts come from a Metrics, set by the caller.

#include <QColor>
#include <QPalette>
#include <QString>

#include <span>
#include <string>

class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QWidget;

namespace keyfall {

QString Text(const std::string& utf8);

// White text on black, the colours of the panel and of its frame.
QPalette WhiteOnBlack(QPalette palette);
// Option buttons: white caption on black, with the usual white circle and dark dot.
QPalette OptionPalette(QPalette palette);
// The silver face and black caption of the main window's buttons.
QPalette SilverFace(QPalette palette);
// Fills the widget's background with `color`.
void Fill(QWidget* widget, const QColor& color);
// The platform's own control colours, whatever the white-on-black window around says: the
// arrows of a scroll bar are drawn in the text colour and would vanish otherwise.
void PlatformColours(QWidget* widget);

// A transparent label in `color`, which lets the mouse through to what lies beneath.
QLabel* MakeLabel(QWidget* parent, const std::string& caption, const QColor& color, Qt::Alignment alignment);
// A push button that follows the pointer without a pressed button, for hover feedback.
QPushButton* MakeButton(QWidget* parent);
// Sets the caption, broken between words where it is wider than the button, if it changed.
void SetCaption(QPushButton* button, const std::string& caption);
// A vertical scroll bar that marks its keyboard focus with a frame in the highlight colour: the
// style draws none on a bar, and Up and Down change the number of the bar that has it.
QScrollBar* MakeScrollBar(QWidget* parent);
// Of a group of option buttons only the selected one is a Tab stop, so that Tab reaches the
// group's choice and Space there cannot change it; the arrow keys move within the group, and
// a click still focuses any of them. With none selected, each is a stop. Called whenever the
// selection may have changed.
void TabToSelectedOption(std::span<QRadioButton* const> group);

} // namespace keyfall
