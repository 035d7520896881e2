#pragma once
// A keyboard drawn on screen, each key coloured by how well the player types it: red to
// green by accuracy, with a bar along its foot as long as its mean reaction time is slow, or
// red to green by confidence, a mastered key ticked and framed. Keys nothing happened to stay
// grey. A click on a key names it (KeyClicked), for a chart of that key.

#include "records/KeyStats.h"

#include <QWidget>

class QPainterPath;

#include <map>
#include <string>

namespace keyfall {

class KeyboardView : public QWidget {
    Q_OBJECT
public:
    enum class Colouring { Accuracy, Confidence };

    explicit KeyboardView(QWidget* parent = nullptr);
    void SetKeys(std::map<std::string, records::KeyStat> keys);
    // The keys' confidence, against the player's target time `targetMs`.
    void SetConfidence(std::map<std::string, records::KeyConfidence> keys, double targetMs);
    void SetColouring(Colouring colouring);
    Colouring colouring() const { return m_colouring; }
    // The colour a key is filled with for an accuracy or a confidence from 0 to 1, for the
    // legend and the tests.
    static QColor AccuracyColour(double accuracy);
    static QColor ConfidenceColour(double confidence);
    // Where a key is drawn, for the tests; empty for a key that is not on the keyboard.
    QRectF KeyRect(const QString& key) const;
    // What a key's tooltip says in the present colouring; empty for a key never typed.
    QString ToolTip(const QString& key) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void KeyClicked(const QString& key);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QString KeyAt(QPointF point) const;
    void PaintConfidence(QPainter& painter, const QRectF& rect, const QPainterPath& outline, QFont font,
                         const std::string& name) const;

    std::map<std::string, records::KeyStat> m_keys;
    std::map<std::string, records::KeyConfidence> m_confidence;
    double m_targetMs = 0;
    double m_slowestMs = 0;
    Colouring m_colouring = Colouring::Accuracy;
};

} // namespace keyfall
