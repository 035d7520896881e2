#include "ui/SoundPlayer.h"

#include "ui/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <span>
#include <string>
#include <vector>

namespace keyfall {
namespace {

constexpr std::array kCues{Cue::Explode, Cue::LaserFire, Cue::Miss, Cue::Blip, Cue::Sound24, Cue::Sound25};

QString FindCue(const QString& fileName, const QStringList& directories)
{
    for (const QString& dir : directories) {
        const QFileInfo candidate(QDir(dir), fileName);
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    return {};
}

std::shared_ptr<const CueSound> LoadCue(const QString& fileName, const QStringList& directories)
{
    const QString path = FindCue(fileName, directories);
    if (path.isEmpty()) {
        qCWarning(lcSound, "sound %s is missing; that cue stays silent", qPrintable(fileName));
        return nullptr;
    }
    std::string why;
    std::optional<CueSound> sound;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString().toStdString();
    } else if (static_cast<std::uint64_t>(file.size()) > kMaxCueFileBytes) {
        // Refused unread: a stray recording must not cost start-up time or memory.
        why = "larger than 2 MB";
    } else {
        const QByteArray bytes = file.read(static_cast<qint64>(kMaxCueFileBytes) + 1);
        sound = DecodeCue(std::as_bytes(std::span(bytes.constData(), static_cast<std::size_t>(bytes.size()))), why);
    }
    if (!sound) {
        qCWarning(lcSound, "sound %s cannot be played (%s); that cue stays silent", qPrintable(path), why.c_str());
        return nullptr;
    }
    return std::make_shared<const CueSound>(std::move(*sound));
}

// Marks the player busy for as long as it changes its list of playbacks.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : m_busy(busy) { m_busy = true; }
    ~BusyScope() { m_busy = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& m_busy;
};

} // namespace

QStringList SoundPlayer::DefaultDirectories()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    return {exeDir, QDir::cleanPath(exeDir + QStringLiteral("/../share/keyfall"))};
}

SoundPlayer::SoundPlayer(const QStringList& directories) : SoundPlayer(directories, MakeServerOutput())
{
}

SoundPlayer::SoundPlayer(const QStringList& directories, std::unique_ptr<AudioOutput> output)
    : m_output(std::move(output))
{
    static_assert(kCues.size() == std::tuple_size_v<decltype(m_cues)>);
    for (const Cue cue : kCues) {
        const auto name = CueFileName(cue);
        m_cues[static_cast<std::size_t>(cue)] =
            LoadCue(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())), directories);
    }
}

SoundPlayer::~SoundPlayer()
{
    // Every playback goes before the output it plays on.
    const BusyScope busy(m_busy);
    while (!m_playbacks.empty())
        CloseOldest();
}

void SoundPlayer::PlayCue(Cue cue)
{
    // Asked for again while a playback is being opened or closed (an output that runs events
    // then): dropped. Playing it there would recurse without end once the list is full.
    if (m_busy)
        return;
    const auto& sound = m_cues[static_cast<std::size_t>(cue)];
    if (!sound || !m_output)
        return;
    const BusyScope busy(m_busy);
    CloseFinished();
    while (m_playbacks.size() >= kMaxPlaybacks)
        CloseOldest();
    if (auto playback = m_output->Open(sound))
        m_playbacks.push_back(std::move(playback));
}

// A playback leaves the list before it is destroyed, so whatever its destruction runs finds
// the list whole.
void SoundPlayer::CloseOldest()
{
    std::unique_ptr<Playback> oldest = std::move(m_playbacks.front());
    m_playbacks.pop_front();
    oldest.reset();
}

void SoundPlayer::CloseFinished()
{
    std::vector<std::unique_ptr<Playback>> finished;
    for (auto it = m_playbacks.begin(); it != m_playbacks.end();) {
        if ((*it)->Finished()) {
            finished.push_back(std::move(*it));
            it = m_playbacks.erase(it);
        } else {
            ++it;
        }
    }
    finished.clear();
}

} // namespace keyfall
