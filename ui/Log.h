#pragma once
// The program's diagnostics: one logging category per area, so that a user can silence or
// widen one with QT_LOGGING_RULES, and one handler that prints each of the program's own
// messages as a single line "keyfall: …" on standard error. Qt's own messages keep Qt's form.

#include <QLoggingCategory>

namespace keyfall {

Q_DECLARE_LOGGING_CATEGORY(lcRecords)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcSound)
Q_DECLARE_LOGGING_CATEGORY(lcCommandLine)
Q_DECLARE_LOGGING_CATEGORY(lcDisplay)

// Installs the handler above; called once by main before anything reports.
void InstallMessageHandler();

} // namespace keyfall
