#include "ui/Training.h"

#include "records/RecordStore.h"
#include "teach/Utf8.h"
#include "ui/GameWindow.h"
#include "ui/Log.h"
#include "ui/PlayField.h"
#include "ui/PlayerKeymap.h"
#include "ui/Records.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <charconv>

namespace keyfall {
namespace {

constexpr const char* kGroup = "Allenamento";
constexpr const char* kKind = "Scelta";
constexpr const char* kOwn = "Caratteri";
constexpr const char* kStage = "Tappa";
constexpr int kMostStages = 1000;

// The stage kept in the settings file, 0 for anything that is no stage number.
int StoredStage(const std::string& text)
{
    int stage = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), stage);
    return error == std::errc() && end == text.data() + text.size() && stage >= 0 && stage < kMostStages ? stage : 0;
}

std::vector<std::string> EachCharacter(const std::u32string& characters)
{
    std::vector<std::string> each;
    for (char32_t c : characters)
        each.push_back(teach::Utf8(c));
    return each;
}

} // namespace

TrainingControl::TrainingControl(GameWindow& window, SettingsStore& store, KeymapHolder& keymap, GameRecords* records)
    : m_window(window), m_store(store), m_keymap(keymap), m_records(records), m_caption(window.label3()->text())
{
    qApp->installEventFilter(this);
    if (m_records)
        connect(m_records, &GameRecords::Saved, this, &TrainingControl::Saved);
    teach::TrainingChoice stored;
    stored.kind = teach::TrainingNamed(m_store.Get(kGroup, kKind, teach::StoredName(teach::Training::Specified)))
                      .value_or(teach::Training::Specified);
    stored.own = m_store.Get(kGroup, kOwn, "");
    stored.stage = StoredStage(m_store.Get(kGroup, kStage, "0"));
    // Only a set other than the options window's needs the keyboard read at start-up.
    if (!Apply(stored)) {
        qCWarning(lcSettings, "the training set kept in the settings cannot be typed on this keyboard; "
                              "the key sets of the options window apply");
        Apply({teach::Training::Specified, stored.own, stored.stage});
    }
}

TrainingControl::~TrainingControl()
{
    qApp->removeEventFilter(this);
    m_window.form().SetCharacters(nullptr);
    if (m_records)
        m_records->recorder().SetStage(std::nullopt);
}

const teach::Course* TrainingControl::Course()
{
    if (!m_courseRead) {
        m_courseRead = true;
        if (const teach::Keymap* keymap = m_keymap.Get())
            m_course.emplace(*keymap);
    }
    return m_course && m_course->Count() > 0 ? &*m_course : nullptr;
}

void TrainingControl::ReadProgress(bool withRecords)
{
    m_progressRead = true;
    if (m_records) {
        records::RecordStore::Options options;
        options.readOnly = true;
        records::RecordStore store(m_records->path().toStdString(), options);
        const std::string player = m_records->player().toStdString();
        m_progress.skills = store.Skills(player);
        m_progress.stagesPassed = store.StagesPassed(player);
        m_progress.reached = Course() ? store.StageReached(player, Course()->Name()) : 0;
        // The best scores are the window's alone, and over a long history the dearest read:
        // a game started on the course never waits for them.
        if (withRecords) {
            m_progress.best.clear();
            for (const records::BestScore& best : store.BestScores(player)) {
                auto [at, added] = m_progress.best.emplace(best.keySet, best.total);
                if (!added)
                    at->second = std::max(at->second, best.total);
            }
        }
        // The course goes on without the records: from the first stage, with nothing known.
        if (!store.Problem().empty())
            qCWarning(lcRecords, "records: %s", store.Problem().c_str());
    }
    m_progress.focus = records::FocusKey(EachCharacter(ReachedCharacters()), m_progress.skills,
                                         records::TargetMs(m_progress.stagesPassed));
}

std::u32string TrainingControl::ReachedCharacters()
{
    const teach::Course* course = Course();
    return course ? course->CharactersUpTo(std::min(m_progress.reached, course->Count() - 1)) : std::u32string();
}

bool TrainingControl::Apply(const teach::TrainingChoice& choice)
{
    std::unique_ptr<CharacterSource> draw;
    std::optional<records::StageGame> stageGame;
    teach::TrainingChoice applied = choice;
    QString text = m_caption;
    if (choice.kind == teach::Training::Stage || choice.kind == teach::Training::WeakKeys) {
        const teach::Course* course = Course();
        if (!course)
            return false;
        if (!m_progressRead)
            ReadProgress();
        const double pace = records::FallPace(m_progress.stagesPassed);
        if (choice.kind == teach::Training::Stage) {
            if (choice.stage < 0 || choice.stage >= course->Count())
                return false;
            // A stage kept in the settings but not reached in the records (another records
            // file, say) gives the one reached: the player goes on from where they are.
            applied.stage = std::min(choice.stage, std::min(m_progress.reached, course->Count() - 1));
            const teach::Stage& stage = course->Stages()[static_cast<std::size_t>(applied.stage)];
            draw = std::make_unique<teach::WeightedDraw>(teach::StageDraw(*course, applied.stage, pace));
            stageGame = records::StageGame{course->Name(), applied.stage, EachCharacter(stage.keys)};
            text =
                QStringLiteral("Percorso, tappa %1: %2").arg(applied.stage + 1).arg(QString::fromStdString(stage.name));
        } else {
            const double target = records::TargetMs(m_progress.stagesPassed);
            teach::WeightedDraw::Options options;
            options.characters = ReachedCharacters();
            const std::vector<std::string> keys = EachCharacter(options.characters);
            for (const std::string& key : keys) {
                const auto skill = m_progress.skills.find(key);
                options.weights.push_back(
                    records::Weakness(skill == m_progress.skills.end() ? nullptr : &skill->second, target));
            }
            m_progress.focus = records::FocusKey(keys, m_progress.skills, target);
            options.focus = static_cast<int>(std::find(keys.begin(), keys.end(), m_progress.focus) - keys.begin());
            options.keySet = KeySetWeakKeys;
            options.pace = pace;
            draw = std::make_unique<teach::WeightedDraw>(std::move(options));
            text = QStringLiteral("Tasto da allenare: %1").arg(QString::fromStdString(m_progress.focus));
        }
    } else if (choice.kind != teach::Training::Specified) {
        const teach::Keymap* keymap = m_keymap.Get();
        if (!keymap)
            return false;
        const teach::TrainingSet set = teach::CharactersOf(choice, *keymap);
        if (!set.problem.empty())
            return false;
        draw = std::make_unique<teach::UniformDraw>(set.characters, teach::KeySetOf(choice.kind));
        text = QStringLiteral("Allenamento: %1").arg(QString::fromStdString(teach::DisplayName(choice.kind)));
    }
    m_window.form().SetCharacters(draw.get());
    m_draw = std::move(draw);
    if (m_records)
        m_records->recorder().SetStage(std::move(stageGame));
    m_choice = applied;
    // The caption keeps its font and its centre; only its words name the set.
    QLabel* caption = m_window.label3();
    const int centre = caption->geometry().center().x();
    if (caption->text() != text) {
        caption->setText(text);
        caption->adjustSize();
        caption->move(centre - caption->width() / 2, caption->y());
    }
    return true;
}

bool TrainingControl::Choose(const teach::TrainingChoice& choice)
{
    // The player chooses among the stages reached; only one kept from before is moved back.
    if (choice.kind == teach::Training::Stage && Course()) {
        if (!m_progressRead)
            ReadProgress();
        if (choice.stage > m_progress.reached)
            return false;
    }
    if (!Apply(choice))
        return false;
    m_store.Set(kGroup, kKind, teach::StoredName(m_choice.kind));
    m_store.Set(kGroup, kOwn, m_choice.own);
    m_store.Set(kGroup, kStage, std::to_string(m_choice.stage));
    m_store.Sync();
    return true;
}

void TrainingControl::Saved(int stagesPassed, int reached)
{
    if (!m_progressRead)
        return; // read when first needed, with this game in it
    m_progress.skills = m_records->Skills();
    m_progress.stagesPassed = stagesPassed;
    const teach::Course* course = Course();
    if (reached >= 0 && course) {
        m_progress.reached = std::max(m_progress.reached, reached);
        Announce(reached < course->Count()
                     ? QStringLiteral("Tappa superata! Prossima: %1")
                           .arg(QString::fromStdString(course->Stages()[static_cast<std::size_t>(reached)].name))
                     : QStringLiteral("Tappa superata! Il percorso è completo."));
        // The next VIA plays the stage just opened.
        if (m_choice.kind == teach::Training::Stage && m_choice.stage < reached && reached < course->Count()) {
            teach::TrainingChoice next = m_choice;
            next.stage = reached;
            Choose(next);
            return;
        }
    }
    // The weights, the focus key and the pace follow the skills after this game.
    if (m_choice.kind == teach::Training::Stage || m_choice.kind == teach::Training::WeakKeys)
        Apply(m_choice);
}

void TrainingControl::Announce(const QString& text)
{
    const FrmMain& form = m_window.form();
    // Under the end message of the game that passed the stage, and only while it is shown.
    if (form.GameRunning || !form.lblMessage.Visible || form.lblMessage.Caption != kGameOverText)
        return;
    PlayField* field = m_window.picture2();
    const QString shown = field->recordText();
    field->SetRecordText(shown.isEmpty() ? text : shown + QStringLiteral("  ·  ") + text);
}

void TrainingControl::Open()
{
    if (m_open || m_window.form().GameRunning)
        return;
    m_open = true;
    if (Course())
        ReadProgress(true);
    TrainingWindow window(m_choice, m_keymap.Get(), Course(), m_progress, &m_window);
    if (window.exec() == QDialog::Accepted)
        Choose(window.Choice());
    m_open = false;
}

bool TrainingControl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (!widget || widget->window() != &m_window || key.key() != Qt::Key_F4)
        return false;
    // Opened once this key event is over, not inside it.
    if (event->type() == QEvent::KeyPress && !key.isAutoRepeat() && !m_window.form().GameRunning)
        QTimer::singleShot(0, this, &TrainingControl::Open);
    // F4 is the training window's: it never reaches the game.
    return true;
}

} // namespace keyfall
