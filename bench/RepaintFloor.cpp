// The least a frame costs in this toolkit: a window that moves one letter a pixel on every
// tick of a 40 Hz timer and repaints its old and new place, and does nothing else. Measured
// beside the game on the same X server (side_by_side.sh), it shows how much of the game's
// frame is its own and how much any Qt Widgets program pays at that rate.
//
//   bench_repaint_floor          the letter falls
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

namespace {

class FallingLetter : public QWidget {
public:
    FallingLetter()
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_font.setPixelSize(32);
        m_font.setBold(true);
        // Laid out once, as the game lays out its letters.
        m_text.setTextFormat(Qt::PlainText);
        m_text.prepare(QTransform(), m_font);
    }

    void Fall()
    {
        const QRect old = Place();
        m_top = (m_top + 1) % 360;
        repaint(QRegion(old) | Place());
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        // Each press must change the pixels, or the X server would have nothing to report.
        m_lit = !m_lit;
        repaint(Place());
        event->accept();
    }

    void paintEvent(QPaintEvent* event) override
    {
        QPainter painter(this);
        painter.fillRect(event->rect(), QColor(0x20, 0x18, 0x40));
        painter.setFont(m_font);
        painter.setPen(m_lit ? Qt::yellow : Qt::red);
        painter.drawStaticText(Place().topLeft(), m_text);
    }

private:
    QRect Place() const { return {100, 20 + m_top, 30, 40}; }

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
    FallingLetter letter;
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
