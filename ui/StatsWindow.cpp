#include "ui/StatsWindow.h"

#include "records/KeyStats.h"
#include "ui/ExportCsv.h"
#include "ui/KeySpeedChart.h"
#include "ui/KeyboardView.h"
#include "ui/Log.h"

#include <QApplication>
#include <QButtonGroup>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <optional>

namespace keyfall {
namespace {

QString LocalDate(const std::string& utc, const QString& format = QStringLiteral("dd/MM/yyyy HH:mm"))
{
    QDateTime when = QDateTime::fromString(QString::fromStdString(utc), Qt::ISODate);
    return when.isValid() ? when.toLocalTime().toString(format) : QString::fromStdString(utc);
}

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

// Names and file paths of any length are shown elided to this many pixels: the window keeps
// its size whatever the records hold.
constexpr int kNameWidth = 320;

QString Elided(const QFontMetrics& metrics, const QString& text, int width = kNameWidth)
{
    // A name of a hundred thousand characters costs no layout of them all.
    const QString head = text.size() > 1000 ? text.left(1000) + QStringLiteral("…") : text;
    return metrics.elidedText(head, Qt::ElideRight, width);
}

// Games counted together: their hits over the time characters were falling in them, and their
// accuracy, over the games in which something fell (each game's own speed is counted the same
// way). None without such games.
struct Tally {
    std::int64_t hits = 0;
    std::int64_t landed = 0;
    std::int64_t misses = 0;
    std::int64_t typingMs = 0;

    template <typename It>
    static Tally Of(It first, It last)
    {
        Tally tally;
        for (; first != last; ++first) {
            if (!records::AnyLaunched(*first))
                continue;
            tally.hits += first->hits;
            tally.landed += first->landed;
            tally.misses += first->misses;
            tally.typingMs += first->typingMs;
        }
        return tally;
    }
    std::optional<double> PerMinute() const
    {
        return hits + landed > 0 ? records::CharsPerMinute(hits, typingMs) : std::nullopt;
    }
    std::optional<double> Accuracy() const
    {
        if (hits + landed == 0)
            return std::nullopt;
        return static_cast<double>(hits) / static_cast<double>(hits + landed + misses);
    }
};

// A tab's page that scrolls when the window is smaller than the page would like.
QScrollArea* Scrolling(QWidget* page, QWidget* parent)
{
    auto* area = new QScrollArea(parent);
    area->setWidget(page);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    return area;
}

QChartView* MakeChart(const QString& title, QWidget* parent)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->legend()->hide();
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto* view = new QChartView(chart, parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(150);
    return view;
}

} // namespace

qsizetype GameStep(qsizetype lastGame)
{
    for (qsizetype step = 1;; step *= 10) {
        for (const qsizetype factor : {1, 2, 5}) {
            if ((lastGame - 1) / (step * factor) < 6)
                return step * factor;
        }
    }
}

namespace {

void SetSeries(QChartView* view, const QList<QPointF>& points, qsizetype games, double lowest, double highest,
               const QString& xTitle)
{
    QChart* chart = view->chart();
    chart->removeAllSeries();
    // The chart deletes the series it removes, but an axis it removes becomes ours.
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    auto* series = new QLineSeries;
    series->replace(points);
    // A line needs two games: each game is a dot too, while there are few enough to tell apart.
    series->setPointsVisible(points.size() <= 60);
    chart->addSeries(series);
    auto* x = new QValueAxis;
    x->setLabelFormat(QStringLiteral("%d"));
    const qsizetype last = std::max<qsizetype>(2, games);
    x->setRange(1, static_cast<qreal>(last));
    // Games are counted in whole numbers: ticks at 1, 2, 5, 10, 20… games apart, at most six,
    // so that no two labels read the same.
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(static_cast<qreal>(GameStep(last)));
    if (!xTitle.isEmpty())
        x->setTitleText(xTitle);
    auto* y = new QValueAxis;
    y->setRange(lowest, highest > lowest ? highest : lowest + 1);
    y->applyNiceNumbers();
    // Three labels fit a short chart; more are elided to "...". Their values are whole
    // numbers: the span is made even, so the middle one is whole too.
    const qreal span = 2 * std::ceil((y->max() - y->min()) / 2);
    y->setRange(y->min(), y->min() + std::max<qreal>(2, span));
    y->setTickCount(3);
    y->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
}

} // namespace

// What the loader reads for one player, off the window's thread.
struct StatsWindow::Loaded {
    int generation = 0;
    QString player;
    bool readable = true;
    std::vector<std::string> problems; // one line each
    std::vector<std::string> players;
    std::vector<records::GameRecord> games;
    std::vector<records::BestScore> best;
    std::map<std::string, records::KeyCounts> keys;
    std::map<std::string, records::KeySkill> skills;
    int stagesPassed = 0;
    // The character the course would practise first, and its times: the speed chart opens on it.
    std::string focus;
    std::vector<records::SpeedPoint> speeds;
};

StatsWindow::StatsWindow(const QString& recordsPath, const QString& player, QWidget* parent)
    : QDialog(parent), m_recordsPath(recordsPath), m_player(player)
{
    setWindowTitle(QStringLiteral("Keyfall — Statistiche"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.ico")));
    BuildWidgets();
    ShowPlayer(player);
}

StatsWindow::~StatsWindow()
{
    StopLoading();
}

void StatsWindow::StopLoading()
{
    m_cancel = true;
    if (m_loader.joinable())
        m_loader.join();
    m_cancel = false;
    StopLoadingSpeeds();
}

void StatsWindow::StopLoadingSpeeds()
{
    m_speedCancel = true;
    if (m_speedLoader.joinable())
        m_speedLoader.join();
    m_speedCancel = false;
    ++m_speedGeneration; // a reading stopped, or delivered but not yet shown, is not shown
}

void StatsWindow::FinishLoading()
{
    if (m_loader.joinable())
        m_loader.join();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    if (m_speedLoader.joinable())
        m_speedLoader.join();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void StatsWindow::Load(const QString& player)
{
    StopLoading();
    const int generation = ++m_generation;
    m_loader = std::thread([this, generation, player, path = m_recordsPath.toStdString()] {
        auto loaded = std::make_shared<Loaded>();
        loaded->generation = generation;
        loaded->player = player;
        // Only reading: the window never creates, migrates or moves the file, so it reads
        // wherever the file can be read (a read-only folder, a file another Keyfall writes).
        records::RecordStore::Options options;
        options.readOnly = true;
        options.cancel = &m_cancel;
        records::RecordStore store(path, options);
        const auto failed = [&] {
            if (!store.Problem().empty())
                loaded->problems.push_back(store.Problem());
            return !store.Problem().empty();
        };
        const auto noticed = [&] {
            if (!store.Notice().empty())
                loaded->problems.push_back(store.Notice());
        };
        const std::string name = player.toStdString();
        if (!store.IsOpen()) {
            loaded->readable = false;
            failed();
        } else {
            loaded->players = store.Players();
            loaded->games = store.Games(name);
            if (failed()) {
                loaded->readable = false;
            } else {
                noticed();
                loaded->best = store.BestScores(name);
                failed();
                loaded->keys = store.KeyTotals(name);
                failed();
                loaded->skills = store.Skills(name);
                failed();
                loaded->stagesPassed = store.StagesPassed(name);
                failed();
                std::vector<std::string> hit;
                for (const auto& [character, skill] : loaded->skills) {
                    if (skill.hits > 0)
                        hit.push_back(character);
                }
                loaded->focus = records::FocusKey(hit, loaded->skills, records::TargetMs(loaded->stagesPassed));
                if (!loaded->focus.empty()) {
                    loaded->speeds = store.KeySpeeds(name, loaded->focus);
                    failed();
                }
            }
        }
        if (m_cancel)
            return;
        // Delivered on the window's thread; the window waits for this thread before it goes.
        QMetaObject::invokeMethod(
            this, [this, loaded] { Show(*loaded); }, Qt::QueuedConnection);
    });
}

void StatsWindow::BuildWidgets()
{
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Giocatore:"), this));
    m_players = new QComboBox(this);
    m_players->setMinimumContentsLength(16);
    m_players->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    top->addWidget(m_players);
    top->addStretch(1);
    m_export = new QPushButton(QStringLiteral("Esporta in CSV…"), this);
    top->addWidget(m_export);
    layout->addLayout(top);

    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    layout->addWidget(m_summary);

    m_pages = new QStackedWidget(this);
    m_empty = new QLabel(m_pages);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    QFont emptyFont = m_empty->font();
    emptyFont.setPointSizeF(emptyFont.pointSizeF() * 1.3);
    m_empty->setFont(emptyFont);
    m_pages->addWidget(m_empty);

    m_tabs = new QTabWidget(m_pages);
    m_best = new QTableWidget(0, 4, m_tabs);
    m_best->setHorizontalHeaderLabels(
        {QStringLiteral("Livello"), QStringLiteral("Caratteri"), QStringLiteral("Punti"), QStringLiteral("Data")});
    m_best->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_best->verticalHeader()->hide();
    m_best->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_best->setSelectionMode(QAbstractItemView::NoSelection);
    m_tabs->addTab(m_best, QStringLiteral("Record"));

    auto* progress = new QWidget(m_tabs);
    auto* charts = new QVBoxLayout(progress);
    const std::array<QString, 3> titles{QStringLiteral("Punti"), QStringLiteral("Caratteri al minuto"),
                                        QStringLiteral("Precisione (%)")};
    for (std::size_t i = 0; i < m_charts.size(); ++i) {
        m_charts[i] = MakeChart(titles[i], progress);
        charts->addWidget(m_charts[i]);
    }
    // The lowest chart also names the games under its axis: without the room for that line,
    // the chart elides its labels and the line to "...".
    m_charts.back()->setMinimumHeight(m_charts.back()->minimumHeight() + 2 * fontMetrics().height());
    m_tabs->addTab(Scrolling(progress, m_tabs), QStringLiteral("Andamento"));

    auto* keys = new QWidget(m_tabs);
    auto* keysLayout = new QVBoxLayout(keys);
    auto* colouring = new QHBoxLayout;
    colouring->addWidget(new QLabel(QStringLiteral("Colore dei tasti:"), keys));
    m_byAccuracy = new QRadioButton(QStringLiteral("Precisione"), keys);
    m_byConfidence = new QRadioButton(QStringLiteral("Sicurezza"), keys);
    m_byAccuracy->setChecked(true);
    auto* colourings = new QButtonGroup(keys);
    colourings->addButton(m_byAccuracy);
    colourings->addButton(m_byConfidence);
    colouring->addWidget(m_byAccuracy);
    colouring->addWidget(m_byConfidence);
    colouring->addStretch(1);
    keysLayout->addLayout(colouring);
    m_keyboard = new KeyboardView(keys);
    keysLayout->addWidget(m_keyboard, 1);
    m_legend = new QLabel(keys);
    m_legend->setWordWrap(true);
    keysLayout->addWidget(m_legend);
    m_weakest = new QLabel(keys);
    QFont weakFont = m_weakest->font();
    weakFont.setBold(true);
    m_weakest->setFont(weakFont);
    keysLayout->addWidget(m_weakest);
    m_tabs->addTab(Scrolling(keys, m_tabs), QStringLiteral("Tastiera"));
    // A tab of its own: under the keyboard the chart would be too short to read on most screens.
    m_speeds = new KeySpeedChart(m_tabs);
    m_speedsPage = Scrolling(m_speeds, m_tabs);
    m_tabs->addTab(m_speedsPage, QStringLiteral("Tempo per tasto"));
    ShowColouring();
    connect(m_byConfidence, &QRadioButton::toggled, this, &StatsWindow::ShowColouring);
    connect(m_keyboard, &KeyboardView::KeyClicked, this, &StatsWindow::ChooseKey);
    connect(m_speeds, &KeySpeedChart::Chosen, this, &StatsWindow::LoadSpeeds);
    m_pages->addWidget(m_tabs);
    layout->addWidget(m_pages, 1);

    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Chiudi"), QDialogButtonBox::RejectRole);
    m_training = buttons->addButton(QStringLiteral("Allenamento…"), QDialogButtonBox::ActionRole);
    m_training->hide();
    connect(m_training, &QPushButton::clicked, this, [this] {
        reject();
        if (m_openTraining)
            QTimer::singleShot(0, parentWidget() ? static_cast<QObject*>(parentWidget()) : qApp, m_openTraining);
    });
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_export, &QPushButton::clicked, this, &StatsWindow::AskAndExport);
    connect(m_players, &QComboBox::activated, this,
            [this](int index) { ShowPlayer(m_players->itemData(index).toString()); });
    FitScreen();
}

void StatsWindow::FitScreen()
{
    // 820 × 700 where there is room; on a smaller screen the window takes what the screen
    // offers, less its frame, and the tabs scroll.
    QSize size(820, 700);
    if (const QScreen* shown = screen()) {
        const QSize room = shown->availableGeometry().size() - QSize(16, 48);
        size = size.boundedTo(room);
        setMaximumSize(shown->availableGeometry().size());
    }
    resize(size);
}

void StatsWindow::ShowPlayer(const QString& player)
{
    m_player = player;
    m_status->clear();
    m_export->setEnabled(false);
    m_summary->clear();
    m_empty->setText(QStringLiteral("Lettura delle statistiche…"));
    m_pages->setCurrentWidget(m_empty);
    Load(player);
}

void StatsWindow::Show(const Loaded& loaded)
{
    if (loaded.generation != m_generation)
        return; // another player was chosen meanwhile
    for (const std::string& line : loaded.problems)
        qCWarning(lcRecords, "records: %s", line.c_str());
    const QString& player = loaded.player;
    {
        const QSignalBlocker quiet(m_players);
        m_players->clear();
        const QFontMetrics metrics = m_players->fontMetrics();
        for (const std::string& name : loaded.players)
            m_players->addItem(Elided(metrics, Q(name)), Q(name));
        if (m_players->findData(player) < 0)
            m_players->addItem(Elided(metrics, player), player);
        m_players->setCurrentIndex(m_players->findData(player));
    }
    if (!loaded.readable) {
        m_empty->setText(QStringLiteral("Le statistiche non si possono leggere in questo momento."));
        return;
    }
    const std::vector<records::GameRecord>& games = loaded.games;
    m_export->setEnabled(!games.empty());
    if (games.empty()) {
        m_empty->setText(QStringLiteral("Nessuna partita registrata per %1.\n\nGioca una partita: quando finisce, "
                                        "o quando la fermi con DA CAPO, qui vedrai i tuoi progressi.")
                             .arg(Elided(m_empty->fontMetrics(), player)));
        return;
    }
    m_pages->setCurrentWidget(m_tabs);
    const auto finished = std::count_if(games.begin(), games.end(), [](const auto& g) { return g.finished; });
    const Tally all = Tally::Of(games.begin(), games.end());
    QString text =
        QStringLiteral("%1 (%2), dal %3 al %4")
            .arg(games.size() == 1 ? QStringLiteral("1 partita") : QStringLiteral("%1 partite").arg(games.size()),
                 finished == 1 ? QStringLiteral("1 finita") : QStringLiteral("%1 finite").arg(finished))
            .arg(LocalDate(games.front().startedAt, QStringLiteral("dd/MM/yyyy")),
                 LocalDate(games.back().startedAt, QStringLiteral("dd/MM/yyyy")));
    if (const auto perMinute = all.PerMinute())
        text += QStringLiteral(" · %1 caratteri al minuto").arg(qRound(*perMinute));
    if (const auto accuracy = all.Accuracy())
        text += QStringLiteral(" · precisione %1%").arg(qRound(100 * *accuracy));
    m_summary->setText(text);
    FillBest(loaded.best);
    FillCharts(games);
    FillKeyboard(loaded.keys);
    FillSkills(loaded);
}

void StatsWindow::FillBest(const std::vector<records::BestScore>& best)
{
    m_best->setRowCount(static_cast<int>(best.size()));
    for (int row = 0; row < static_cast<int>(best.size()); ++row) {
        const records::BestScore& b = best[static_cast<std::size_t>(row)];
        const std::array<QString, 4> cells{Q(records::LevelName(b.level)), Q(records::KeySetName(b.keySet)),
                                           QLocale().toString(b.total), LocalDate(b.startedAt)};
        for (int column = 0; column < 4; ++column) {
            auto* item = new QTableWidgetItem(cells[static_cast<std::size_t>(column)]);
            item->setTextAlignment(column == 2 ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
            m_best->setItem(row, column, item);
        }
    }
    if (best.empty()) {
        // Only stopped games so far: no record to show, but say why.
        m_best->setRowCount(1);
        auto* item = new QTableWidgetItem(QStringLiteral("Ancora nessuna partita giocata fino alla fine"));
        m_best->setItem(0, 0, item);
        m_best->setSpan(0, 0, 1, 4);
    } else {
        m_best->clearSpans();
    }
}

void StatsWindow::FillCharts(const std::vector<records::GameRecord>& games)
{
    // Up to kMostPoints points per chart: beyond that many games, each point stands for a run
    // of consecutive games, counted together as the summary counts them all. A line of a
    // hundred thousand points draws no more than a screen's width of them shows.
    constexpr std::size_t kMostPoints = 1000;
    const std::size_t run = (games.size() + kMostPoints - 1) / kMostPoints;
    QList<QPointF> score;
    QList<QPointF> speed;
    QList<QPointF> accuracy;
    double lowScore = 0;
    double highScore = 0;
    double highSpeed = 0;
    for (std::size_t first = 0; first < games.size(); first += run) {
        const std::size_t last = std::min(games.size(), first + run);
        // The middle of the run, in game numbers from 1.
        const double x = static_cast<double>(first + last + 1) / 2.0;
        double total = 0;
        for (std::size_t i = first; i < last; ++i)
            total += games[i].total;
        total /= static_cast<double>(last - first);
        score.append({x, total});
        lowScore = std::min(lowScore, total);
        highScore = std::max(highScore, total);
        // A game in which no character fell has no speed and no accuracy: no point of its own.
        const Tally tally = Tally::Of(games.begin() + static_cast<std::ptrdiff_t>(first),
                                      games.begin() + static_cast<std::ptrdiff_t>(last));
        if (const auto perMinute = tally.PerMinute()) {
            speed.append({x, *perMinute});
            highSpeed = std::max(highSpeed, *perMinute);
        }
        if (const auto share = tally.Accuracy())
            accuracy.append({x, 100 * *share});
    }
    const QString games_ = QStringLiteral("Partita (dalla prima, %1, all'ultima, %2)")
                               .arg(LocalDate(games.front().startedAt, QStringLiteral("dd/MM/yyyy")),
                                    LocalDate(games.back().startedAt, QStringLiteral("dd/MM/yyyy")));
    // The three charts share their games: only the lowest one names them.
    const auto count = static_cast<qsizetype>(games.size());
    SetSeries(m_charts[0], score, count, lowScore, highScore, {});
    SetSeries(m_charts[1], speed, count, 0, highSpeed, {});
    SetSeries(m_charts[2], accuracy, count, 0, 100, games_);
}

void StatsWindow::FillKeyboard(const std::map<std::string, records::KeyCounts>& characters)
{
    auto keys = records::ByKey(characters);
    const auto weakest = records::WeakestKeys(keys);
    QStringList names;
    for (const auto& k : weakest)
        names << QStringLiteral("%1 (%2%)").arg(Q(k.key)).arg(qRound(k.accuracy * 100));
    m_weakest->setText(names.isEmpty() ? QStringLiteral("Nessun tasto da esercitare, per ora.")
                                       : QStringLiteral("Tasti da esercitare: ") + names.join(QStringLiteral(", ")));
    m_keyboard->SetKeys(std::move(keys));
}

void StatsWindow::FillSkills(const Loaded& loaded)
{
    m_skills = loaded.skills;
    m_targetMs = records::TargetMs(loaded.stagesPassed);
    m_keyboard->SetConfidence(records::ConfidenceByKey(m_skills, m_targetMs), m_targetMs);
    std::vector<std::string> hit;
    for (const auto& [character, skill] : m_skills) {
        if (skill.hits > 0)
            hit.push_back(character);
    }
    m_speeds->SetCharacters(hit, m_targetMs);
    if (!loaded.focus.empty())
        m_speeds->SetSpeeds(loaded.focus, loaded.speeds);
    ShowColouring();
}

void StatsWindow::ShowColouring()
{
    const bool confidence = m_byConfidence->isChecked();
    m_keyboard->SetColouring(confidence ? KeyboardView::Colouring::Confidence : KeyboardView::Colouring::Accuracy);
    m_legend->setText(confidence
                          ? QStringLiteral("Colore: sicurezza del tasto (rosso 0%, verde 100%), cioè velocità rispetto "
                                           "all'obiettivo di %1 ms e precisione insieme. ✓ e bordo spesso: tasto "
                                           "padroneggiato. Clicca un tasto per vederne il tempo partita per partita.")
                                .arg(qRound(m_targetMs))
                          : QStringLiteral("Colore: precisione del tasto (rosso 50% o meno, verde 100%). "
                                           "Barra in basso: tempo medio di reazione (più lunga, più lento). "
                                           "Clicca un tasto per vederne il tempo partita per partita."));
}

void StatsWindow::ChooseKey(const QString& key)
{
    std::vector<std::string> hit;
    for (const std::string& character : records::CharactersOfKey(key.toStdString())) {
        const auto found = m_skills.find(character);
        if (found != m_skills.end() && found->second.hits > 0)
            hit.push_back(character);
    }
    // Of a letter's two cases, the less sure one: what the player most needs to see.
    const std::string character = records::FocusKey(hit, m_skills, m_targetMs);
    if (character.empty())
        return;
    m_speeds->Choose(character);
    m_tabs->setCurrentWidget(m_speedsPage);
}

void StatsWindow::LoadSpeeds(const QString& character)
{
    StopLoadingSpeeds();
    const int generation = m_speedGeneration;
    m_speedLoader = std::thread([this, generation, player = m_player.toStdString(), character = character.toStdString(),
                                 path = m_recordsPath.toStdString()] {
        records::RecordStore::Options options;
        options.readOnly = true;
        options.cancel = &m_speedCancel;
        records::RecordStore store(path, options);
        auto points = std::make_shared<std::vector<records::SpeedPoint>>(store.KeySpeeds(player, character));
        const std::string problem = store.Problem();
        if (m_speedCancel)
            return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, character, points, problem] { ShowSpeeds(generation, character, *points, problem); },
            Qt::QueuedConnection);
    });
}

void StatsWindow::ShowSpeeds(int generation, const std::string& character,
                             const std::vector<records::SpeedPoint>& points, const std::string& problem)
{
    if (generation != m_speedGeneration)
        return; // another key or player was chosen meanwhile
    if (!problem.empty()) {
        qCWarning(lcRecords, "records: %s", problem.c_str());
        return;
    }
    m_speeds->SetSpeeds(character, points);
}

void StatsWindow::SetTrainingOpener(std::function<void()> open)
{
    m_openTraining = std::move(open);
    m_training->setVisible(static_cast<bool>(m_openTraining));
}

bool StatsWindow::ExportCsv(const QString& file)
{
    QByteArray csv;
    QString error;
    if (!ReadExport(m_recordsPath, m_player, csv, error) || !WriteExport(file, csv, error)) {
        qCWarning(lcRecords, "cannot export the records to %s: %s", qPrintable(file), qPrintable(error));
        return false;
    }
    return true;
}

void StatsWindow::AskAndExport()
{
    const QString suggested = QDir::home().filePath(
        QStringLiteral("keyfall-%1.csv").arg(m_player.left(40).replace(QLatin1Char('/'), QLatin1Char('_'))));
    const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("Esporta le partite"), suggested,
                                                      QStringLiteral("File CSV (*.csv)"));
    if (file.isEmpty())
        return;
    if (ExportCsv(file))
        m_status->setText(QStringLiteral("Partite esportate in %1")
                              .arg(Elided(m_status->fontMetrics(), QDir::toNativeSeparators(file), 480)));
    else
        QMessageBox::warning(this, QStringLiteral("Esporta le partite"),
                             QStringLiteral("Non è stato possibile scrivere %1.")
                                 .arg(Elided(fontMetrics(), QDir::toNativeSeparators(file), 480)));
}

} // namespace keyfall
