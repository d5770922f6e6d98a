#include "editor/autosave.h"

#include "dialogs/prompter.h"
#include "editor/mainwindow.h"
#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>

namespace kelto {

namespace {

// The longest a slice of the snapshot holds the UI thread.
constexpr auto kSliceBudget = std::chrono::milliseconds(20);
constexpr auto kHeartbeat = std::chrono::milliseconds(1000);
constexpr auto kWriterPoll = std::chrono::milliseconds(50);

QString dateTimeText(const QDateTime& when) {
    return QLocale::system().toString(when.toLocalTime(), QLocale::ShortFormat);
}

} // namespace

Autosave::Autosave(MainWindow& window, std::string folder)
    : m_window(window), m_folder(std::move(folder)) {
    m_window.document().addObserver(this);
    // Undo and redo can bring the history back to a number it had with other content.
    connect(&m_window.session().history(), &QUndoStack::indexChanged, this,
            [this] { ++m_changes; });
    // A save makes the history clean: the file goes at once rather than at the next tick.
    connect(&m_window.session().history(), &QUndoStack::cleanChanged, this, [this](bool clean) {
        // After the window has updated its unsaved mark, which follows the history's.
        if (clean && m_started) {
            QTimer::singleShot(0, this, [this] { guarded("Autosave", [this] { tick(); }); });
        }
    });
    connect(&m_clock, &QTimer::timeout, this, [this] { guarded("Autosave", [this] { tick(); }); });
}

Autosave::~Autosave() {
    m_window.document().removeObserver(this);
    m_builder.reset();
    m_writer.cancel();
    m_folder.releaseOwnName();
}

void Autosave::setInterval(std::chrono::milliseconds interval) {
    m_intervalOverride = interval;
    if (m_clock.isActive()) {
        m_clock.start(std::min(interval, std::chrono::milliseconds(kHeartbeat)));
    }
}

std::chrono::milliseconds Autosave::interval() const {
    if (m_intervalOverride) {
        return *m_intervalOverride;
    }
    return std::chrono::seconds(std::clamp(appSettings().autosaveSeconds, 0, kMaxAutosaveSeconds));
}

void Autosave::documentChanged(DocumentChange, int) {
    ++m_changes;
}

ContentStamp Autosave::stampNow() const {
    return contentStamp(m_window.session(), m_changes);
}

void Autosave::start() {
    waitForWindow();
}

// The window starts its document at its first activation (after the language question on a
// first run); recovered work replaces that document, so the offer comes after it.
void Autosave::waitForWindow() {
    if (m_window.firstActivationPending()) {
        QTimer::singleShot(50, this, [this] { waitForWindow(); });
        return;
    }
    guarded("AutosaveStart", [this] {
        m_folder.claimOwnName();
        offerRecovery();
    });
    m_started = true;
    m_sinceWrite.start();
    const auto beat = m_intervalOverride ? std::min(*m_intervalOverride, kHeartbeat) : kHeartbeat;
    m_clock.start(std::max(beat, std::chrono::milliseconds(10)));
}

void Autosave::offerRecovery() {
    for (OrphanedRecovery& orphan : m_folder.takeOrphans()) {
        std::optional<RecoveredWork> work;
        try {
            work = readRecoveryFile(orphan.path());
        } catch (const std::exception&) {
            const QString when =
                dateTimeText(QFileInfo(QString::fromStdString(orphan.path())).lastModified());
            const QString keptAs = QString::fromStdString(orphan.setAside());
            prompter().tell(getPhrase(PhraseType::MRecoveryDamaged).arg(when, keptAs));
            continue;
        }
        const QString when = dateTimeText(QDateTime::fromMSecsSinceEpoch(work->savedAtMs, Qt::UTC));
        if (prompter().ask(getPhrase(PhraseType::MRestoreWork).arg(when), false,
                           QuestionCaption::Information) != Answer::Yes) {
            orphan.discard();
            continue;
        }
        m_window.restoreRecoveredWork(std::move(*work));
        if (m_folder.hasOwnName()) {
            orphan.adoptAs(m_folder.ownFile());
            m_policy.adopted();
        }
        // One document at a time: other sessions' files wait for a later start.
        return;
    }
}

void Autosave::tick() {
    checkWriter();
    if (!m_started || !m_folder.hasOwnName() || m_builder) {
        return;
    }
    const EditSession& session = m_window.session();
    const ContentStamp stamp = stampNow();
    const bool enabled = interval().count() > 0;
    switch (m_policy.decide(enabled, stamp, !session.document().documentSaved,
                            session.canvasEditPending())) {
    case AutosaveAction::Nothing:
        break;
    case AutosaveAction::Remove:
        removeFile();
        break;
    case AutosaveAction::Write:
        if (!m_writer.busy() && m_sinceWrite.elapsed() >= interval().count()) {
            beginSnapshot(stamp);
        }
        break;
    }
}

void Autosave::removeFile() {
    m_builder.reset();
    m_writer.cancel();
    m_writing.reset();
    m_folder.removeOwnFile();
    m_policy.removed();
}

void Autosave::beginSnapshot(const ContentStamp& stamp) {
    m_builder = std::make_unique<SnapshotBuilder>(m_window.session(), stamp);
    snapshotSlice();
}

void Autosave::snapshotSlice() {
    if (!m_builder) {
        return;
    }
    const ContentStamp now = stampNow();
    bool more = false;
    guarded("AutosaveSnapshot", [&] {
        switch (m_builder->step(m_window.session(), now, kSliceBudget)) {
        case SnapshotBuilder::Step::More:
            more = true;
            break;
        case SnapshotBuilder::Step::Stale:
            // Edited between slices: start again from the new state.
            m_builder = std::make_unique<SnapshotBuilder>(m_window.session(), now);
            more = true;
            break;
        case SnapshotBuilder::Step::Done:
            m_writing = m_builder->stamp();
            m_writer.start(m_folder.ownFile(), m_builder->take());
            m_sinceWrite.restart();
            QTimer::singleShot(kWriterPoll, this, [this] { checkWriter(); });
            break;
        }
    });
    if (more) {
        QTimer::singleShot(0, this, [this] { snapshotSlice(); });
    } else {
        m_builder.reset();
    }
}

void Autosave::checkWriter() {
    if (!m_writer.busy()) {
        return;
    }
    const std::optional<std::string> result = m_writer.finished();
    if (!result) {
        QTimer::singleShot(kWriterPoll, this, [this] { checkWriter(); });
        return;
    }
    if (result->empty()) {
        if (m_writing) {
            m_policy.written(*m_writing);
        }
        ++m_writes;
        m_failureShown = false;
    } else if (!m_failureShown) {
        // Said once, not at every tick of a full disk; the editor goes on either way.
        m_failureShown = true;
        reportError(getPhrase(PhraseType::MAutosaveFailed)
                        .arg(QString::fromStdString(*result))
                        .toStdString(),
                    "Autosave");
    }
    m_writing.reset();
}

} // namespace kelto
