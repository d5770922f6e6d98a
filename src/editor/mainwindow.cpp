#include "editor/mainwindow.h"

#include "builder/figurebuilderform.h"
#include "dialogs/avioptionsform.h"
#include "dialogs/exportcommand.h"
#include "dialogs/gifoptionsform.h"
#include "dialogs/imageoptionsform.h"
#include "dialogs/languagedialog.h"
#include "dialogs/optionsdialog.h"
#include "dialogs/progressform.h"
#include "dialogs/prompter.h"
#include "dialogs/spinedit.h"
#include "document/kelformat.h"
#include "editor/canvas.h"
#include "editor/canvasview.h"
#include "editor/clipboard.h"
#include "editor/editingarea.h"
#include "editor/icons.h"
#include "editor/recentmenu.h"
#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "pickers/aboutbox.h"
#include "pickers/backgroundpicker.h"
#include "pickers/figurepicker.h"
#include "pickers/imageselector.h"
#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/datafolders.h"
#include "settings/multilang.h"
#include "settings/paths.h"
#include "settings/settingsfile.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <utility>

namespace kelto {

namespace {

// The client area the window is designed for.
constexpr int kDesignWidth = 696;
constexpr int kDesignHeight = 587;

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowIcon(makeIcon(IconKind::App));
    m_playTimer = new QTimer(this);
    m_playTimer->setInterval(kDefaultFrameRate);
    connect(m_playTimer, &QTimer::timeout, this, &MainWindow::advancePlayback);

    guarded("MainFormCreate", [this] {
        QDir().mkpath(settingsFolder());
        m_supersampleFactor = readSupersampleFactor();
        if (multiLang().languagesFolder().isEmpty()) {
            multiLang().openFolder(defaultLanguagesFolder());
        }
        multiLang().setApplyHandler([this] { applyLanguage(); });
        loadSettings();
    });
    m_doc.addObserver(this);

    m_scene.setContentProvider([this] { return sceneContent(); });
    m_scene.setWindowColour(palette().color(QPalette::Window).rgb() & 0x00FFFFFF);

    buildPanels();
    buildMenus();
    setUpCanvasView();
    m_scene.setPresenter([this](const Rect& r) { m_canvas->present(r); });
    m_canvas->setRepaintHandler([this] {
        guarded("EditPaintBoxPaint", [this] { m_scene.editPaintBoxPaint(isPlaying()); });
    });
    m_rateScrollBar->setValue(appSettings().frameRate);
    m_clipboard = new FrameClipboard(this);
    connect(m_clipboard, &FrameClipboard::availabilityChanged, this, [this](bool frames) {
        const bool canPaste = frames && !isPlaying();
        if (!m_pasteFrameButton) {
            return;
        }
        m_pasteFrameButton->setEnabled(canPaste);
        if (QAction* paste = action(QStringLiteral("InsertPaste1"))) {
            paste->setEnabled(canPaste);
        }
    });
    Q_EMIT m_clipboard->availabilityChanged(m_clipboard->hasFrames());

    // The other windows, in the order they are created at start.
    m_about = new AboutBox(this);
    m_export = std::make_unique<ExportCommand>(this);
    m_options = new OptionsDialog(this);
    m_options->setHooks(OptionsDialog::Hooks{
        [this] { return QSize(m_doc.animWidth(), m_doc.animHeight()); },
        [this] { return m_doc.frameCount() > 0; },
        [](const QString& question) { return prompter().ask(question) == Answer::Yes; },
        [this](int w, int h) {
            stopButtonClick();
            setAnimationDimensions(w, h);
        },
        [this] { findOnions(); },
        [this] {
            if (!isPlaying()) {
                drawFigures();
            }
        },
        [](const QString& message) { prompter().tell(message); },
        [this](int steps) {
            m_session.setUndoDepth(steps); // a new depth starts a new history
            showUndoCaptions();
        },
    });
    m_builder = new FigureBuilderForm(m_doc, this);
    // The picker cell comes with the document's notice; the new type also goes on the canvas.
    connect(m_builder, &FigureBuilderForm::figureTypeAdded, this, &MainWindow::addFigure);
    m_figurePicker = new FigurePicker(this);
    m_figurePicker->setPickHandler([this](int cell) { addFigure(cell + 1); });
    m_backgroundPicker = new BackgroundPicker(this);
    m_backgroundPicker->setPickHandler([this](int cell) { setFrameBackground(cell); });
    m_language = new LanguageDialog(this);
    buildViewMenu();
    addZoomCommands();

    setSavedState(true);
    resize(kDesignWidth, kDesignHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    applyLanguage();
}

MainWindow::~MainWindow() {
    m_doc.removeObserver(this);
    // Closing the window takes the focus from the scale box, whose "editing finished" would
    // otherwise reach the figures after they are gone.
    disconnect(m_scaleSpinEdit, nullptr, this, nullptr);
    // The key preview and the number boxes' filter call into this window: the focus leaving
    // the widgets as they are taken down must not reach it.
    delete findChild<QObject*>(QStringLiteral("CanvasKeyPreview"), Qt::FindDirectChildrenOnly);
    m_scaleSpinEdit->removeEventFilter(this);
    m_repeatSpinEdit->removeEventFilter(this);
    multiLang().setApplyHandler({});
}

// ---- start, document lifetime ------------------------------------------------------------

int MainWindow::runDialog(QDialog& dialog) {
    return m_runDialog ? m_runDialog(dialog) : dialog.exec();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_firstActivation) {
        QTimer::singleShot(0, this, &MainWindow::formActivate);
    }
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_firstActivation) {
        QTimer::singleShot(0, this, &MainWindow::formActivate);
    }
}

void MainWindow::formActivate() {
    if (!m_firstActivation || m_activating) {
        return;
    }
    m_activating = true;
    const bool ok = guarded("MainFormActivate", [this] {
        const QStringList languages = multiLang().listLanguages();
        m_options->setLanguages(languages);
        AppSettings& settings = appSettings();
        if (!languages.contains(QString::fromStdString(settings.language))) {
            settings.language = MultiLang::english.toStdString();
            saveSettings();
        }
        multiLang().setLanguage(QString::fromStdString(settings.language));
        if (storedLanguage(settingsFilePath()).isEmpty()) {
            m_language->setLanguages(languages);
            runDialog(*m_language);
        }
        fillPickers();
        newProject();
        switch (commandLineKind(m_commandLine)) {
        case CommandLineKind::Kel:
            loadProject(m_commandLine);
            break;
        case CommandLineKind::Stk:
            openInFigureBuilder(m_commandLine);
            break;
        case CommandLineKind::Other:
            prompter().tell(getPhrase(PhraseType::MNotKelOrStk));
            break;
        case CommandLineKind::None:
            break;
        }
    });
    if (ok) {
        m_firstActivation = false;
    }
    m_activating = false;
}

void MainWindow::fillPickers() {
    if (m_figurePicker->selector()->count() == 0) {
        m_figurePicker->addEntry(m_doc.figureType(1), 1, QStringLiteral("Default"));
    }
    if (m_backgroundPicker->selector()->count() == 0) {
        m_backgroundPicker->addEntry(m_doc.background(0), 0, QStringLiteral("White Back"));
    }
}

void MainWindow::openInFigureBuilder(const QString& path) {
    m_builder->openFromCommandLine(path);
}

bool MainWindow::offerToSave(bool allowCancel) {
    return m_doc.documentSaved || saveProjectAsKel(allowCancel);
}

void MainWindow::destroyProject() {
    endDrag(); // the drag's figure goes with the frame
    m_doc.destroy();
    if (m_clipboard) {
        m_clipboard->documentDestroyed();
    }
    m_session.resetHistory(Figures{});
    setSelectedFrameCount(0);
}

void MainWindow::newProject() {
    guarded("NewProject", [this] {
        if (!offerToSave(false)) {
            return;
        }
        destroyProject();
        m_scene.clearLayers();
        m_doc.lastFigureID = 0;
        m_session.setUndoDepth(appSettings().undoDepth);
        Figures first = m_doc.newEditFrame();
        first.figures[0].colour = 0;
        m_session.resetHistory(std::move(first));
        m_scene.setSuspended(true);
        setAnimationDimensions(appSettings().animWidth, appSettings().animHeight);
        m_scene.setSuspended(false);
        enableFigureControls(true);
        setFigureControls();
        setFrameLabel();
        m_scene.drawGhostEdit();
        drawFigures();
        initUndo();
        m_doc.currentFileName.clear();
        setSavedState(true);
        timeline().updateScrollBar();
        timeline().drawTimeLine();
        positionFrameBevels();
    });
}

void MainWindow::setAnimationDimensions(int width, int height) {
    m_doc.setAnimationDimensions(width, height);
    appSettings().animWidth = width;
    appSettings().animHeight = height;
    setEditingArea();
    drawFigures();
    setSavedState(m_doc.documentSaved);
}

void MainWindow::formResize() {
    guarded("FormResize", [this] {
        layoutPanels();
        setEditingArea();
        if (isPlaying()) {
            m_scene.drawGhostBackground();
            m_scene.screenBuffer() = m_scene.ghostBitmap();
            m_canvas->update();
        } else {
            drawFigures();
        }
        recomputeThumbnailSlots();
    });
}

void MainWindow::setEditingArea() {
    const EditingArea area = m_zoom == 1
                                 ? computeEditingArea(m_scrollBox->width(), m_scrollBox->height(),
                                                      m_doc.animWidth(), m_doc.animHeight())
                                 : computeZoomedArea(m_scrollBox->width(), m_scrollBox->height(),
                                                     m_doc.animWidth(), m_doc.animHeight(), m_zoom);
    // The bars follow the new size; the scene takes the visible part once, below.
    const bool settingView = std::exchange(m_settingView, true);
    m_canvas->setFixedSize(area.canvasWidth, area.canvasHeight);
    m_settingView = settingView;
    m_scene.setZoom(m_zoom);
    m_scene.setVisibleWindow(visibleCanvasRect());
    m_scene.setEditingArea(area);
    m_scene.drawGhostEdit();
}

void MainWindow::setSavedState(bool saved) {
    if (saved) {
        m_changedOutsideHistory = false;
        m_session.markSaved();
    } else {
        m_changedOutsideHistory = true;
    }
    refreshSavedMark();
}

void MainWindow::refreshSavedMark() {
    const bool saved = !m_changedOutsideHistory && !m_session.isModified();
    m_doc.documentSaved = saved;
    refreshTitle(saved);
}

void MainWindow::setCursor(Qt::CursorShape cursor) {
    QWidget::setCursor(cursor);
    m_scrollBox->setCursor(cursor);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    bool close = true;
    guarded("FormClose", [&] {
        if (!m_doc.documentSaved) {
            close = saveProjectAsKel(true);
        }
    });
    guarded("FormCloseSettings", [this] {
        appSettings().animWidth = m_doc.animWidth();
        appSettings().animHeight = m_doc.animHeight();
        appSettings().frameRate = m_rateScrollBar->value();
        saveSettings();
    });
    if (!close) {
        event->ignore();
        return;
    }
    m_builder->close();
    m_figurePicker->close();
    m_backgroundPicker->close();
    m_options->close();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Comma and full stop step through the frames from the number boxes too; the box takes
    // what was typed first.
    if ((watched == m_repeatSpinEdit || watched == m_scaleSpinEdit) &&
        event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Comma || key->key() == Qt::Key_Period) {
            static_cast<QSpinBox*>(watched)->interpretText();
            guarded("FormKeyDown", [&] { frameStepKey(key); });
            return true;
        }
    }
    if (watched == m_client && event->type() == QEvent::Resize) {
        formResize();
    } else if (watched == m_nextFrameButton && event->type() == QEvent::MouseButtonPress) {
        const auto mods = static_cast<QMouseEvent*>(event)->modifiers();
        if ((mods & Qt::ControlModifier) && (mods & Qt::ShiftModifier) && !m_hiddenRevealed) {
            revealHiddenItems();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- scene ------------------------------------------------------------------------------

SceneContent MainWindow::sceneContent() const {
    SceneContent c;
    c.frames = &m_doc.frames;
    c.types = &m_doc.figureTypes();
    c.backgrounds = &m_doc.backgrounds();
    c.edit = &edit();
    c.preview = m_inbetweenPreview ? &*m_inbetweenPreview : nullptr;
    c.editFrameIndex = m_session.editFrameIndex();
    c.animWidth = m_doc.animWidth();
    c.animHeight = m_doc.animHeight();
    return c;
}

void MainWindow::drawFigures() {
    guarded("DrawFigures", [this] { m_scene.drawFigures(); });
}

void MainWindow::reDrawFigure(int figure, const Rect& oldBounds) {
    guarded("ReDrawFigure", [&] { m_scene.reDrawFigure(figure, oldBounds); });
}

void MainWindow::findOnions() {
    guarded("FindOnions", [this] { m_scene.findOnions(); });
}

bool MainWindow::isPlaying() const {
    return m_playTimer->isActive();
}

void MainWindow::documentChanged(DocumentChange change, int index) {
    guarded("DocumentChanged", [&] {
        switch (change) {
        case DocumentChange::FigureTypeAdded:
            m_figurePicker->addEntry(m_doc.figureType(index), index,
                                     QString::fromStdString(m_doc.figureTypeName(index)));
            break;
        case DocumentChange::FigureTypesRemoved:
            while (m_figurePicker->selector()->count() > std::max(index - 1, 1)) {
                m_figurePicker->selector()->remove(m_figurePicker->selector()->count() - 1);
            }
            break;
        case DocumentChange::BackgroundAdded:
            m_backgroundPicker->addEntry(m_doc.background(index), index,
                                         QString::fromStdString(m_doc.backgroundName(index)));
            break;
        case DocumentChange::BackgroundsRemoved:
            while (m_backgroundPicker->selector()->count() > std::max(index, 1)) {
                m_backgroundPicker->selector()->remove(m_backgroundPicker->selector()->count() - 1);
            }
            break;
        case DocumentChange::Replaced:
            m_figurePicker->selector()->clearToFirst();
            m_backgroundPicker->selector()->clearToFirst();
            // One layout for the whole batch: a document may hold tens of thousands of types.
            for (int i = kBuiltInFigureTypes; i < m_doc.figureTypeCount(); ++i) {
                m_figurePicker->addEntry(m_doc.figureType(i), i,
                                         QString::fromStdString(m_doc.figureTypeName(i)), false);
            }
            for (int i = 1; i < m_doc.backgroundCount(); ++i) {
                m_backgroundPicker->addEntry(
                    m_doc.background(i), i, QString::fromStdString(m_doc.backgroundName(i)), false);
            }
            m_figurePicker->selector()->relayout();
            m_backgroundPicker->selector()->relayout();
            break;
        case DocumentChange::FramesChanged:
        case DocumentChange::DimensionsChanged:
            break;
        }
    });
}

void MainWindow::storeEditedFrame() {
    storeEditedFrame(false, false);
}

void MainWindow::newAnimation() {
    stopButtonClick();
    newProject();
}

void MainWindow::exportToFile() {
    guarded("Export", [this] {
        stopButtonClick();
        storeEditedFrame();
        const QString written = m_export->exportAnimation(m_doc, m_rateScrollBar->value(),
                                                          [this] { stopButtonClick(); });
        if (!written.isEmpty()) {
            showStatus(written);
        }
    });
}

void MainWindow::openFigureBuilder() {
    stopButtonClick();
    guarded("CreateFigureType", [this] { m_builder->showBuilder(); });
}

void MainWindow::quitEditor() {
    close();
}

void MainWindow::exportSvg() {
    saveSvgCommand(m_doc, edit(), m_session.editFrameIndex(),
                   SvgOnions{appSettings().numOnion, appSettings().onionAhead}, true);
}

void MainWindow::exportSvgWithoutHandles() {
    saveSvgCommand(m_doc, edit(), m_session.editFrameIndex(),
                   SvgOnions{appSettings().numOnion, appSettings().onionAhead}, false);
}

// ---- edit and help menus ------------------------------------------------------------------

void MainWindow::showOptions() {
    guarded("Options", [this] {
        m_options->setLanguages(multiLang().listLanguages());
        m_options->show();
        m_options->raise();
        m_options->activateWindow();
    });
}

void MainWindow::showHelp() {
    guarded("KeltoHelp", [this] {
        const QString program = m_programFolder.isEmpty() ? programFolder() : m_programFolder;
        const QString help = manualFile(multiLang().currentLanguage(), program);
        if (help.isEmpty()) {
            showReadMe();
            return;
        }
        showShippedFile(help);
    });
}

void MainWindow::showShippedFile(const QString& path) {
    const QUrl url = QUrl::fromLocalFile(path);
    const bool opened = m_openUrl ? m_openUrl(url) : QDesktopServices::openUrl(url);
    if (!opened) {
        prompter().tell(getPhrase(PhraseType::MNoViewer) + QLatin1Char('\n') +
                        QDir::toNativeSeparators(path));
    }
}

void MainWindow::showReadMe() {
    guarded("ViewReadMe", [this] {
        const QString program = m_programFolder.isEmpty() ? programFolder() : m_programFolder;
        const QString readMe = programDataFile(QStringLiteral("ReadMe.txt"), program);
        if (readMe.isEmpty()) {
            prompter().tell(getPhrase(PhraseType::MNoReadMe));
            return;
        }
        showShippedFile(readMe);
    });
}

void MainWindow::showAbout() {
    runDialog(*m_about);
}

} // namespace kelto
