#pragma once
// The hand pointers of the push buttons, loaded once from the resources.

#include <QCursor>

namespace keyfall {

// The pointer for a button's MouseIcon (OpenHandCursor or ClosedHandCursor); nullptr for
// none, which leaves the platform's default arrow.
const QCursor* CursorFor(int mouseIcon);

} // namespace keyfall
