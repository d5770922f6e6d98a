#pragma once

#include "document/autosavepolicy.h"
#include "document/document.h"
#include "document/recoveryfile.h"
#include "document/recoveryfolder.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

namespace kelto {

class MainWindow;

// The editor's autosave and crash recovery. Once the window has started its document, it
// offers the work of sessions that ended abnormally, then keeps a recovery file of this
// session's unsaved work: the snapshot is taken on the UI thread in short slices, compressed
// and written on a worker thread. The file goes as soon as nothing is unsaved (a save, New,
// Open) and at a normal end, when this object is destroyed.
class Autosave : public QObject, public DocumentObserver {
public:
    explicit Autosave(MainWindow& window, std::string folder = defaultRecoveryFolder());
    ~Autosave() override;
    Autosave(const Autosave&) = delete;
    Autosave& operator=(const Autosave&) = delete;

    // Waits for the window's first activation, offers recovered work, then starts the clock.
    void start();
    // The time between autosaves, instead of the settings' seconds (tests).
    void setInterval(std::chrono::milliseconds interval);
    // This session's recovery file (empty until started).
    const std::string& recoveryFile() const { return m_folder.ownFile(); }
    int writesCompleted() const { return m_writes; }
    bool started() const { return m_started; }

    void documentChanged(DocumentChange change, int index) override;

private:
    void waitForWindow();
    void offerRecovery();
    void tick();
    void removeFile();
    void beginSnapshot(const ContentStamp& stamp);
    void snapshotSlice();
    void checkWriter();
    std::chrono::milliseconds interval() const;
    ContentStamp stampNow() const;

    MainWindow& m_window;
    RecoveryFolder m_folder;
    AutosavePolicy m_policy;
    RecoveryWriter m_writer;
    std::optional<ContentStamp> m_writing; // what the worker is writing
    std::unique_ptr<SnapshotBuilder> m_builder;
    QTimer m_clock;
    QElapsedTimer m_sinceWrite;
    std::optional<std::chrono::milliseconds> m_intervalOverride;
    uint64_t m_changes = 0;
    int m_writes = 0;
    bool m_started = false;
    bool m_failureShown = false;
};

} // namespace kelto
