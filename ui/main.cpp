// Keyfall: falling characters to type, on a night landscape.

#include "settings/Random.h"
#include "settings/Settings.h"
#include "ui/CommandLine.h"
#include "ui/ExportCsv.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/HintsLine.h"
#include "ui/KeyboardGuide.h"
#include "ui/Log.h"
#include "ui/Pause.h"
#include "ui/PlayerKeymap.h"
#include "ui/QtSettingsStore.h"
#include "ui/Records.h"
#include "ui/SoundAfterFirstFrame.h"
#include "ui/SoundPlayer.h"
#include "ui/StatsModule.h"
#include "ui/Training.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>

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
    keyfall::InstallMessageHandler();
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
    const QString player = commandLine.Options.Player.isEmpty()
                               ? keyfall::NormalisedPlayerName(keyfall::DefaultPlayer())
                               : commandLine.Options.Player;
    // The export touches no window system either: a teacher may run it over SSH.
    if (!commandLine.Options.ExportCsv.isEmpty() || !commandLine.Options.ExportKeysCsv.isEmpty()) {
        QCoreApplication core(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Keyfall"));
        if (!commandLine.Options.ExportKeysCsv.isEmpty())
            return keyfall::ExportKeysCsv(keyfall::RecordsPath(), commandLine.Options.ExportKeysCsv);
        return keyfall::ExportCsv(keyfall::RecordsPath(), player, commandLine.Options.ExportCsv);
    }

    // On X11 Qt hands repaints to the server in memory they share, and before it paints a place
    // the server may still be reading it waits a round trip for the server. A falling letter
    // repaints its last place in every tick, so every frame waited; over the connection the
    // small repaints of a tick cost half as much, and no memory is shared with the server.
    qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Keyfall"));
    QApplication::setOrganizationName(QStringLiteral("Keyfall"));
    // Wayland compositors find the launcher, and with it the icon, by this id.
    QApplication::setDesktopFileName(QStringLiteral("org.keyfall.Keyfall"));
    // One style everywhere, so that the silver buttons and the black panel look the same
    // on every desktop.
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    keyfall::InstallFontSubstitutes();
    QScreen* screen = keyfall::ScreenUnderPointer();
    if (screen && screen->depth() < keyfall::kLeastScreenDepth) {
        qCCritical(keyfall::lcDisplay, "the screen shows %d-bit colour; the game needs %d bits or more",
                   screen->depth(), keyfall::kLeastScreenDepth);
        return 1;
    }
    const QString recordsPath = keyfall::RecordsPath();

    if (commandLine.Options.Stats) {
        const std::optional<int> status = keyfall::OpenStats({recordsPath, player, nullptr, {}});
        return status.value_or(1);
    }

    const auto clock = [] {
        return static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    };
    keyfall::Random random(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()),
                           clock);
    keyfall::Settings settings;
    keyfall::QtSettingsStore store;
    Silence silence;
    std::unique_ptr<keyfall::SoundAfterFirstFrame> sound;
    if (commandLine.Options.Sound) {
        sound = std::make_unique<keyfall::SoundAfterFirstFrame>(
            [] { return std::make_unique<keyfall::SoundPlayer>(keyfall::SoundPlayer::DefaultDirectories()); });
    }
    keyfall::CuePlayer& cues = sound ? static_cast<keyfall::CuePlayer&>(*sound) : silence;

    const keyfall::CommandLine& options = commandLine.Options;
    // Read when the keyboard or a training set first needs it; it outlives the window.
    keyfall::KeymapHolder keymap([&options] {
        return options.Layout.empty() ? keyfall::PlayerKeymap()
                                      : keyfall::teach::KeymapFromNames({}, {}, options.Layout, options.LayoutVariant);
    });
    keyfall::GameWindow window(settings, store, random, cues, screen, options.Display);
    if (sound)
        sound->OpenAfterFirstPaint(window);
    // Beside the game, and gone before it (in the reverse order of these lines).
    keyfall::PauseControl pause(window);
    keyfall::KeyboardGuide guide(window, store, keymap);
    if (options.Keyboard)
        guide.SetWanted(true);
    keyfall::HintsLine hints(window, guide);
    keyfall::GameRecords records(recordsPath, player);
    window.form().SetEvents(records.recorder());
    keyfall::TrainingControl training(window, store, keymap, &records);
    if (options.Train)
        QTimer::singleShot(0, &training, &keyfall::TrainingControl::Open);
    QObject::connect(&pause, &keyfall::PauseControl::PausedChanged, &records, &keyfall::GameRecords::SetPaused);
    QObject::connect(&records, &keyfall::GameRecords::NewRecord, &window, &keyfall::GameWindow::GreetRecord);
    window.SetStatsOpener([&window, &recordsPath, &player, &training] {
        keyfall::OpenStats({recordsPath, player, &window, [&training] { training.Open(); }});
    });
    if (commandLine.Options.Display.Windowed)
        window.show();
    else
        window.showFullScreen();
    return QApplication::exec();
}
