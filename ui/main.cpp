// Keyfall: falling characters to type, on a night landscape.

#include "settings/Random.h"
#include "settings/Settings.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/QtSettingsStore.h"
#include "ui/SoundPlayer.h"

#include <QApplication>
#include <QStyleFactory>

#include <chrono>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keyfall"));
    QApplication::setOrganizationName(QStringLiteral("Keyfall"));
    // Wayland compositors find the launcher, and with it the icon, by this id.
    QApplication::setDesktopFileName(QStringLiteral("org.keyfall.Keyfall"));
    // One style everywhere, so that the silver buttons and the black panel look the same
    // on every desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    keyfall::InstallFontSubstitutes();

    const auto clock = [] {
        return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    };
    keyfall::Random random(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()),
                           clock);
    keyfall::Settings settings;
    keyfall::QtSettingsStore store;
    keyfall::SoundPlayer cues(keyfall::SoundPlayer::DefaultDirectories());

    keyfall::GameWindow window(settings, store, random, cues);
    window.showFullScreen();
    return QApplication::exec();
}
