#include "ui/TrainingWindow.h"

#include "teach/Utf8.h"

#include <algorithm>

#include "game/CharacterSource.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace keyfall {
namespace {

constexpr int kMostOwnCharacters = 60;

QString Spaced(const std::u32string& characters)
{
    QStringList each;
    for (char32_t c : characters)
        each << QString::fromStdString(teach::Utf8(c));
    return each.join(QLatin1Char(' '));
}

// The course's list shows this many stages before it scrolls.
constexpr int kStagesShown = 8;

} // namespace

TrainingWindow::TrainingWindow(const teach::TrainingChoice& current, const teach::Keymap* keymap,
                               const teach::Course* course, const CourseProgress& progress, QWidget* parent)
    : QDialog(parent), m_keymap(keymap), m_course(keymap ? course : nullptr), m_progress(progress)
{
    setWindowTitle(QStringLiteral("Keyfall — Allenamento"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.ico")));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Che cosa vuoi allenare nelle prossime partite?"), this));
    auto* group = new QButtonGroup(this);
    const auto add = [&](teach::Training kind, const QString& text) {
        auto* option = new QRadioButton(text, this);
        group->addButton(option);
        layout->addWidget(option);
        m_options[static_cast<std::size_t>(kind)] = option;
        option->setEnabled(kind == teach::Training::Specified || keymap != nullptr);
    };
    const auto row = [&](teach::Row which) {
        return keymap ? QStringLiteral(" (%1)").arg(Spaced(teach::RowCharacters(*keymap, which))) : QString();
    };
    add(teach::Training::Specified, QStringLiteral("I tasti scelti nelle opzioni avanzate"));
    add(teach::Training::Stage, QStringLiteral("Il percorso, una tappa alla volta:"));
    m_stages = new QTreeWidget(this);
    layout->addWidget(m_stages);
    AddCourse(current);
    add(teach::Training::WeakKeys, m_progress.focus.empty()
                                       ? QStringLiteral("I tasti deboli delle tappe raggiunte")
                                       : QStringLiteral("I tasti deboli delle tappe raggiunte (tasto da allenare: %1)")
                                             .arg(QString::fromStdString(m_progress.focus)));
    add(teach::Training::Accented,
        QStringLiteral("Le lettere accentate (%1)").arg(Spaced(std::u32string(teach::kItalianAccented))));
    add(teach::Training::HomeRow, QStringLiteral("La riga centrale della tastiera") + row(teach::Row::Home));
    add(teach::Training::TopRow, QStringLiteral("La riga superiore") + row(teach::Row::Top));
    add(teach::Training::BottomRow, QStringLiteral("La riga inferiore") + row(teach::Row::Bottom));
    add(teach::Training::Own, QStringLiteral("I caratteri che scrivi qui:"));
    m_own = new QLineEdit(QString::fromStdString(current.own), this);
    m_own->setMaxLength(kMostOwnCharacters);
    m_own->setEnabled(keymap != nullptr);
    m_own->setPlaceholderText(QStringLiteral("per esempio: àèìòù"));
    layout->addWidget(m_own);
    connect(m_own, &QLineEdit::textEdited, this, [this] { option(teach::Training::Own)->setChecked(true); });
    m_problem = new QLabel(this);
    m_problem->setWordWrap(true);
    QPalette palette = m_problem->palette();
    palette.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
    m_problem->setPalette(palette);
    if (!keymap)
        m_problem->setText(QStringLiteral("La tastiera non si può leggere: restano i tasti delle opzioni avanzate."));
    layout->addWidget(m_problem);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Usa"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &TrainingWindow::Use);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    QRadioButton* chosen = option(current.kind);
    (chosen->isEnabled() ? chosen : option(teach::Training::Specified))->setChecked(true);
}

void TrainingWindow::AddCourse(const teach::TrainingChoice& current)
{
    m_stages->setColumnCount(4);
    m_stages->setHeaderLabels(
        {QStringLiteral("Tappa"), QStringLiteral("Tasti"), QStringLiteral("Stato"), QStringLiteral("Record")});
    m_stages->setRootIsDecorated(false);
    m_stages->setEnabled(m_course != nullptr);
    m_stages->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    if (!m_course)
        return;
    const int count = m_course->Count();
    const int reached = std::clamp(m_progress.reached, 0, count);
    for (int i = 0; i < count; ++i) {
        const teach::Stage& stage = m_course->Stages()[static_cast<std::size_t>(i)];
        const QString state = i < reached    ? QStringLiteral("superata")
                              : i == reached ? QStringLiteral("da superare")
                                             : QStringLiteral("chiusa");
        const auto best = m_progress.best.find(KeySetStage + i);
        auto* item = new QTreeWidgetItem(
            m_stages, {QString::number(i + 1), QString::fromStdString(stage.name), state,
                       best == m_progress.best.end() ? QStringLiteral("—") : QString::number(best->second)});
        item->setToolTip(1, Spaced(stage.keys));
        // A stage not reached yet is shown, so the player sees the way ahead, but not chosen.
        if (i > reached)
            item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    }
    const int selected = std::min(current.kind == teach::Training::Stage ? current.stage : reached, reached);
    if (QTreeWidgetItem* item = m_stages->topLevelItem(std::clamp(selected, 0, count - 1)))
        m_stages->setCurrentItem(item);
    const int rowHeight = m_stages->sizeHintForRow(0);
    m_stages->setMinimumHeight(m_stages->header()->sizeHint().height() + rowHeight * std::min(count, kStagesShown) + 4);
    connect(m_stages, &QTreeWidget::itemClicked, this, [this] { option(teach::Training::Stage)->setChecked(true); });
}

teach::TrainingChoice TrainingWindow::Choice() const
{
    teach::TrainingChoice choice;
    for (std::size_t i = 0; i < m_options.size(); ++i) {
        if (m_options[i]->isChecked())
            choice.kind = static_cast<teach::Training>(i);
    }
    choice.own = m_own->text().normalized(QString::NormalizationForm_C).toStdString();
    if (QTreeWidgetItem* item = m_stages->currentItem())
        choice.stage = m_stages->indexOfTopLevelItem(item);
    return choice;
}

QString TrainingWindow::Problem() const
{
    return m_problem->text();
}

void TrainingWindow::Use()
{
    const teach::TrainingChoice choice = Choice();
    if (choice.kind != teach::Training::Specified && m_keymap) {
        const teach::TrainingSet set = teach::CharactersOf(choice, *m_keymap);
        if (!set.problem.empty()) {
            m_problem->setText(QString::fromStdString(set.problem));
            return;
        }
    }
    accept();
}

} // namespace keyfall
