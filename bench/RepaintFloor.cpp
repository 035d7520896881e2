// The least a frame costs in this toolkit: a window that moves one letter a pixel on every
// tick of a 40 Hz timer and repaints its old and new place, and does nothing else. Measured
// beside the game on the same X server (side_by_side.sh), it shows how much of the game's
// frame is its own and how much any Qt Widgets program pays at that rate.
//
//   bench_repaint_floor          the letter falls
//   bench_repaint_floor N        N letters side by side fall together (N from 1 to 18), as
//                                many as the game's hard wave moves in its 18 columns: what
//                                any Qt Widgets program pays for the game's work per frame
//   bench_repaint_floor key      the letter stands still; every key press recolours it and
//                                repaints it before the press's handler returns, the least
//                                any Qt Widgets program can do for a key (latency.sh)

#include <QApplication>
#include <QFont>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStaticText>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace {

class FallingLetter : public QWidget {
public:
    // One letter lies at 100, 20; more are centred across the window's 644 pixels.
    explicit FallingLetter(int letters) : m_letters(letters), m_left(std::min(100, (644 - 35 * letters) / 2))
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_font.setPixelSize(32);
        m_font.setBold(true);
        // Laid out once, as the game lays out its letters.
        m_text.setTextFormat(Qt::PlainText);
        m_text.prepare(QTransform(), m_font);
    }

    // Each letter's old and new place, repainted together, as the game repaints a tick.
    void Fall()
    {
        QRegion dirty;
        for (int i = 0; i < m_letters; ++i)
            dirty |= Place(i);
        m_top = (m_top + 1) % 360;
        for (int i = 0; i < m_letters; ++i)
            dirty |= Place(i);
        repaint(dirty);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        // Each press must change the pixels, or the X server would have nothing to report.
        m_lit = !m_lit;
        repaint(Place(0));
        event->accept();
    }

    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), QColor(0x20, 0x18, 0x40));
        painter.setFont(m_font);
        painter.setPen(m_lit ? Qt::yellow : Qt::red);
        for (int i = 0; i < m_letters; ++i) {
            if (event->region().intersects(Place(i)))
                painter.drawStaticText(Place(i).topLeft(), m_text);
        }
    }

private:
    // Columns 35 pixels apart, as wide as the game's at 1024 x 768.
    QRect Place(int i) const { return {m_left + 35 * i, 20 + m_top, 30, 40}; }

    int m_letters;
    int m_left;
    int m_top = 0;
    bool m_lit = false;
    QFont m_font;
    QStaticText m_text{QStringLiteral("A")};
};

} // namespace

int main(int argc, char* argv[])
{
    // Repaints over the X connection, as the game sends them.
    qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    const bool keyMode = argc > 1 && qstrcmp(argv[1], "key") == 0;
    const int letters = argc > 1 && !keyMode ? std::clamp(QByteArray(argv[1]).toInt(), 1, 18) : 1;
    FallingLetter letter(letters);
    letter.setWindowTitle(QStringLiteral("Repaint floor"));
    letter.setFocusPolicy(Qt::StrongFocus);
    letter.resize(644, 430);
    letter.show();
    QTimer timer;
    if (!keyMode) {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &letter, &FallingLetter::Fall);
        timer.start(25);
    }
    return QApplication::exec();
}
