// Keyfall: falling characters to type, on a night landscape.

#include "settings/Random.h"
#include "settings/Settings.h"
#include "ui/CommandLine.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/QtSettingsStore.h"
#include "ui/SoundPlayer.h"

#include <QApplication>
#include <QStyleFactory>

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

// --no-sound: every cue is silence, and no sound output is opened at all.
class Silence : public keyfall::CuePlayer {
public:
    void PlayCue(keyfall::Cue) override {}
};

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Read before QApplication exists, which needs a display: --help works over SSH.
    const keyfall::ParsedCommandLine commandLine = keyfall::ParseCommandLine(arguments);
    if (commandLine.ExitCode) {
        std::fputs(commandLine.Output.toLocal8Bit().constData(), stdout);
        std::fputs(commandLine.Error.toLocal8Bit().constData(), stderr);
        return *commandLine.ExitCode;
    }

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
    Silence silence;
    std::unique_ptr<keyfall::SoundPlayer> sound;
    if (commandLine.Options.Sound)
        sound = std::make_unique<keyfall::SoundPlayer>(keyfall::SoundPlayer::DefaultDirectories());
    keyfall::CuePlayer& cues = sound ? static_cast<keyfall::CuePlayer&>(*sound) : silence;

    keyfall::GameWindow window(settings, store, random, cues, nullptr, commandLine.Options.Display);
    if (commandLine.Options.Display.Windowed)
        window.show();
    else
        window.showFullScreen();
    return QApplication::exec();
}
