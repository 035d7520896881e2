#pragma once
// A keyboard drawn on screen, each key coloured by how well the player types it: red to
// green by accuracy, with a bar along its foot as long as its mean reaction time is slow.
// Keys nothing happened to stay grey.

#include "records/KeyStats.h"

#include <QWidget>

#include <map>
#include <string>

namespace keyfall {

class KeyboardView : public QWidget {
    Q_OBJECT
public:
    explicit KeyboardView(QWidget* parent = nullptr);
    void SetKeys(std::map<std::string, records::KeyStat> keys);
    // The colour a key is filled with, for the legend and the tests.
    static QColor AccuracyColour(double accuracy);
    // Where a key is drawn, for the tests; empty for a key that is not on the keyboard.
    QRectF KeyRect(const QString& key) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::map<std::string, records::KeyStat> m_keys;
    double m_slowestMs = 0;
};

} // namespace keyfall
