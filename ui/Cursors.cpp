#include "ui/Cursors.h"

#include "game/Controls.h"

#include <QPixmap>

namespace keyfall {

const QCursor* CursorFor(int mouseIcon)
{
    static const QCursor open(QPixmap(QStringLiteral(":/cursors/openhand.png")), 16, 15);
    static const QCursor closed(QPixmap(QStringLiteral(":/cursors/closedhand.png")), 15, 17);
    switch (mouseIcon) {
    case OpenHandCursor: return &open;
    case ClosedHandCursor: return &closed;
    default: return nullptr;
    }
}

} // namespace keyfall
