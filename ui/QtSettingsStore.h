#pragma once
// The settings file: $XDG_CONFIG_HOME/Keyfall/Keyfall.ini through QSettings.

#include "settings/Settings.h"

#include <QMap>
#include <QString>

namespace keyfall {

class QtSettingsStore : public SettingsStore {
public:
    std::string Get(std::string_view section, std::string_view name, std::string_view fallback) const override;
    void Set(std::string_view section, std::string_view name, std::string_view text) override;
    // Writes every pending value in one go. QSettings replaces the file atomically, so a
    // failure leaves the old file whole; it is reported with one line on standard error.
    bool Sync() override;

    // Where the file lives for the current user.
    static QString FilePath();

private:
    QMap<QString, QString> m_pending;
};

} // namespace keyfall
