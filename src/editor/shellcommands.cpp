// The main window's shell around the document: the title naming the file, the status line
// saying what a save or export did, the recent-files list, the onion-skin menu and files
// dropped on the window.
#include "dialogs/optionsdialog.h"
#include "dialogs/prompter.h"
#include "editor/filedrop.h"
#include "editor/mainwindow.h"
#include "editor/onionmenu.h"
#include "editor/qttranslations.h"
#include "editor/recentmenu.h"
#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>

namespace kelto {

namespace {

// How long a status message stays, in milliseconds.
constexpr int kStatusMessageMs = 15000;

} // namespace

void MainWindow::buildViewMenu() {
    // View sits between Edit and the Options item.
    m_viewMenu = new QMenu(this);
    m_viewMenu->setObjectName(QStringLiteral("ViewMenu"));
    menuBar()->insertMenu(action(QStringLiteral("Options1")), m_viewMenu);
    m_onionMenu = new OnionMenu(this);
    m_viewMenu->addMenu(m_onionMenu);
    m_onionMenu->showValues(appSettings().numOnion, appSettings().onionAhead);
    connect(m_onionMenu, &OnionMenu::onionsChosen, this, &MainWindow::applyOnions);
    // OK in the Options dialog may have changed them the other way.
    connect(m_options, &QDialog::accepted, m_onionMenu,
            [this] { m_onionMenu->showValues(appSettings().numOnion, appSettings().onionAhead); });

    connect(m_recentMenu, &RecentMenu::openRequested, this, &MainWindow::openRecentFile);
    connect(m_recentMenu, &RecentMenu::clearRequested, this, &MainWindow::clearRecentFiles);
    m_recentMenu->showList(appSettings().recentFiles);
    setAcceptDrops(true);
}

void MainWindow::applyShellLanguage() {
    // Qt's own buttons and dialogs follow the phrase table's language.
    useQtTranslations(getPhrase(PhraseType::LangLocale));
    refreshTitle(m_doc.documentSaved);
    if (m_recentMenu) {
        m_recentMenu->applyLanguage();
    }
    if (m_viewMenu) {
        m_viewMenu->setTitle(getPhrase(PhraseType::MView));
        m_onionMenu->applyLanguage();
    }
}

void MainWindow::refreshTitle(bool saved) {
    // "walk.kel[*] - Kelto Animator"; Qt shows the [*] as the unsaved mark or hides it.
    const QString program = getPhrase(PhraseType::MFormCap);
    QString file = QFileInfo(QFile::decodeName(m_doc.currentFileName.c_str())).fileName();
    file.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]")); // shown as typed
    setWindowTitle(file.isEmpty() ? QStringLiteral("[*]") + program
                                  : file + QStringLiteral("[*] - ") + program);
    setWindowModified(!saved);
}

void MainWindow::showStatus(const QString& message) {
    statusBar()->showMessage(message, kStatusMessageMs);
}

void MainWindow::noteRecentFile(const QString& path) {
    appSettings().recentFiles.add(path);
    m_recentMenu->showList(appSettings().recentFiles);
    // Kept at once, so the list survives however the program ends.
    guarded("SaveRecentFiles", [] { saveSettings(); });
}

void MainWindow::openRecentFile(const QString& path) {
    guarded("OpenRecent", [&] {
        if (!QFileInfo::exists(path)) {
            // Moved or deleted since: said, and taken off the list.
            prompter().tell(getPhrase(PhraseType::MFileNotExist) + QLatin1Char('\n') + path);
            appSettings().recentFiles.remove(path);
            m_recentMenu->showList(appSettings().recentFiles);
            saveSettings();
            return;
        }
        openAnimationFile(path);
    });
}

void MainWindow::clearRecentFiles() {
    appSettings().recentFiles.clear();
    m_recentMenu->showList(appSettings().recentFiles);
    guarded("SaveRecentFiles", [] { saveSettings(); });
}

void MainWindow::applyOnions(int count, bool ahead) {
    guarded("OnionMenu", [&] {
        AppSettings& settings = appSettings();
        if (count == settings.numOnion && ahead == settings.onionAhead) {
            return;
        }
        // As in the Options dialog: fewer onions need no new indices.
        const bool refresh = count > settings.numOnion || ahead != settings.onionAhead;
        settings.numOnion = count;
        settings.onionAhead = ahead;
        if (refresh) {
            findOnions();
        }
        if (!isPlaying()) {
            drawFigures();
        }
        m_onionMenu->showValues(count, ahead);
        // An open Options dialog shows the new values, so its OK does not undo them.
        if (m_options->isVisible()) {
            m_options->showOnions(count, ahead);
        }
        saveSettings();
    });
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!filesToOpen(droppedLocalFiles(*event->mimeData())).isEmpty()) {
        event->acceptProposedAction();
    }
}

void MainWindow::dropEvent(QDropEvent* event) {
    const QStringList files = droppedLocalFiles(*event->mimeData());
    if (files.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // After the drop has ended: the questions and messages a file may bring are modal, and
    // the dragging program waits for the drop to finish.
    QMetaObject::invokeMethod(
        this, [this, files] { openDroppedFiles(files); }, Qt::QueuedConnection);
}

void MainWindow::openDroppedFiles(const QStringList& paths) {
    guarded("DropFiles", [&] {
        const QStringList files = filesToOpen(paths);
        if (files.isEmpty()) {
            prompter().tell(getPhrase(PhraseType::MFileTypeWrong));
            return;
        }
        QStringList figureTypes;
        for (const QString& file : files) {
            switch (droppedFileKind(file)) {
            case DroppedFileKind::Animation:
                openAnimationFile(file);
                break;
            case DroppedFileKind::FigureType:
                figureTypes.append(file);
                break;
            case DroppedFileKind::Picture:
                loadBackgroundFile(file);
                break;
            case DroppedFileKind::Other:
                break;
            }
        }
        if (!figureTypes.isEmpty()) {
            loadFigureFiles(figureTypes);
        }
    });
}

} // namespace kelto
