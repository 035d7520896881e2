// The course's costs over 10,000 recorded games, printed as "name value" lines for run.sh:
//   training_open_*  F4: from opening the training window (the records read for the stages,
//                    the skills and the records per stage) to its first painted frame;
//   training_apply_* choosing "Tasti deboli" (the weights and the focus key from the skills).
// The games are course games of the Italian layout, copied in one statement from 200 written
// one by one. Offscreen, on a file in a scratch folder of its own.

#include "CopyGames.h"
#include "Samples.h"
#include "records/RecordStore.h"
#include "settings/MemoryStore.h"
#include "settings/Random.h"
#include "teach/Utf8.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/PlayerKeymap.h"
#include "ui/Records.h"
#include "ui/Training.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace keyfall;
using bench::CopyGames;
using bench::Ms;
using bench::NoCues;
using bench::Report;

namespace {

// A finished easy game on stage `stage`: every key of the stages up to it launched and hit,
// so that the player goes through the course as the games are written.
records::GameRecord StageGame(const teach::Course& course, int stage, int n)
{
    records::GameRecord game;
    game.player = "bench";
    game.startedAt = "2026-12-0" + std::to_string(1 + n % 9) + "T10:00:00Z";
    game.level = 100;
    game.rounds = game.roundsPlayed = 8;
    game.keySet = KeySetStage + stage;
    game.total = 100 + n % 500;
    game.durationMs = 90000;
    game.typingMs = 60000;
    game.finished = true;
    for (char32_t c : course.CharactersUpTo(stage)) {
        records::KeyCounts& key = game.keys[teach::Utf8(c)];
        key.launched = 3 + n % 2;
        key.hits = key.launched;
        key.reactionTicks = static_cast<std::int64_t>(key.hits) * (8 + n % 5);
        game.hits += key.hits;
        game.landed += key.landed;
    }
    return game;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallFontSubstitutes();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Keyfall/keyfall.sqlite"));
    KeymapHolder keymap([] { return teach::KeymapFromNames({}, "pc105", "it"); });
    const teach::Course course(*keymap.Get());

    constexpr int kGames = 10'000;
    constexpr int kEach = 200;
    {
        records::RecordStore store(path.toStdString(), {});
        int reached = 0;
        for (int i = 0; i < kEach; ++i) {
            records::GameRecord game = StageGame(course, std::min(reached, course.Count() - 1), i);
            const teach::Stage& stage = course.Stages()[static_cast<std::size_t>(game.keySet - KeySetStage)];
            game.stage = records::StageGame{course.Name(), game.keySet - KeySetStage, {}};
            for (char32_t c : stage.keys)
                game.stage->keys.push_back(teach::Utf8(c));
            const auto saved = store.Save(game);
            if (!saved) {
                std::fprintf(stderr, "%s\n", store.Problem().c_str());
                return 1;
            }
            reached = saved->stageReached.value_or(reached);
        }
    }
    if (!CopyGames(path, kGames / kEach - 1, kEach))
        return 1;
    std::printf("training_games %d\n", kGames);

    Settings settings;
    MemoryStore store;
    Random random(1);
    NoCues cues;
    GameWindow window(settings, store, random, cues);
    GameRecords records(path, QStringLiteral("bench"));
    TrainingControl training(window, store, keymap, &records);

    std::vector<double> opens;
    for (int i = 0; i < 5; ++i) {
        const auto start = std::chrono::steady_clock::now();
        QTimer::singleShot(0, [&] {
            QWidget* shown = QApplication::activeModalWidget();
            if (!shown)
                return;
            shown->grab(); // its first frame, painted
            opens.push_back(Ms(std::chrono::steady_clock::now() - start));
            shown->close();
        });
        training.Open();
    }
    Report("training_open", opens);
    std::printf("training_reached %d\n", training.Progress().reached);

    std::vector<double> applies;
    for (int i = 0; i < 20; ++i) {
        const auto start = std::chrono::steady_clock::now();
        training.Choose({i % 2 ? teach::Training::WeakKeys : teach::Training::Specified, {}});
        applies.push_back(Ms(std::chrono::steady_clock::now() - start));
    }
    Report("training_apply", applies);
    return 0;
}
