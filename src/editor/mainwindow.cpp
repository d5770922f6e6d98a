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

// ---- layout ----------------------------------------------------------------------------

QToolButton* MainWindow::figureButton(const char* name, int icon, void (MainWindow::*slot)()) {
    auto* button = new QToolButton(m_selectedGroup);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(makeIcon(IconKind(icon)));
    button->setIconSize(QSize(24, 24));
    button->setAutoRaise(false);
    connect(button, &QToolButton::clicked, this, slot);
    return button;
}

void MainWindow::buildPanels() {
    m_client = new QWidget(this);
    setCentralWidget(m_client);
    m_client->installEventFilter(this);

    m_framePanel = new QFrame(m_client);
    m_framePanel->setObjectName(QStringLiteral("Panel1"));
    m_framePanel->setFrameShape(QFrame::StyledPanel);
    m_framePanel->setGeometry(8, 0, 121, 81);
    m_frameLabel = new QLabel(m_framePanel);
    m_frameLabel->setGeometry(6, 4, 110, 18);
    QFont bold = m_frameLabel->font();
    bold.setBold(true);
    m_frameLabel->setFont(bold);
    m_repeatLabel = new QLabel(m_framePanel);
    m_repeatLabel->setGeometry(6, 26, 56, 20);
    m_repeatSpinEdit = new QSpinBox(m_framePanel);
    m_repeatSpinEdit->setObjectName(QStringLiteral("RepeatSpinEdit"));
    m_repeatSpinEdit->setRange(1, 65535);
    m_repeatSpinEdit->setValue(1);
    m_repeatSpinEdit->setGeometry(58, 24, 58, 22);
    auto frameButton = [this](const char* name, IconKind icon, int x, void (MainWindow::*slot)()) {
        auto* b = new QToolButton(m_framePanel);
        b->setObjectName(QString::fromLatin1(name));
        b->setIcon(makeIcon(icon));
        b->setIconSize(QSize(20, 20));
        b->setGeometry(x, 50, 34, 27);
        connect(b, &QToolButton::clicked, this, slot);
        return b;
    };
    m_deleteSelFrameButton = frameButton("DeleteSelFrameButton", IconKind::DeleteFrames, 4,
                                         &MainWindow::deleteSelFrameButtonClick);
    m_copySelFrameButton = frameButton("CopySelFrameButton", IconKind::CopyFrames, 43,
                                       &MainWindow::copySelFrameButtonClick);
    m_pasteFrameButton = frameButton("PasteFrameButton", IconKind::PasteFrames, 82,
                                     &MainWindow::pasteFrameButtonClick);

    m_tlPanel = new QFrame(m_client);
    m_tlPanel->setObjectName(QStringLiteral("TLPanel"));
    m_tlPanel->setFrameShape(QFrame::StyledPanel);
    m_tlPanel->setGeometry(136, 0, 537, 81);
    m_tlPanel->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tlPanel, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& p) { m_timelineMenu->popup(m_tlPanel->mapToGlobal(p)); });
    m_tlScrollBar = new QScrollBar(Qt::Horizontal, m_tlPanel);
    m_tlScrollBar->setObjectName(QStringLiteral("TLScrollBar"));
    m_tlScrollBar->setGeometry(1, 64, 535, 16);
    m_tlScrollBar->setRange(0, 0);
    connect(m_tlScrollBar, &QScrollBar::valueChanged, this, &MainWindow::tlScrollBarChange);

    m_selFigPanel = new QFrame(m_client);
    m_selFigPanel->setObjectName(QStringLiteral("SelFigPanel"));
    m_selFigPanel->setFrameShape(QFrame::StyledPanel);
    m_selFigPanel->setGeometry(8, 88, 121, 433);

    m_playGroup = new QGroupBox(m_selFigPanel);
    m_playGroup->setGeometry(4, 2, 113, 92);
    m_playButton = new QPushButton(m_playGroup);
    m_playButton->setObjectName(QStringLiteral("PlayButton"));
    m_playButton->setIcon(makeIcon(IconKind::Play));
    m_playButton->setGeometry(5, 8, 51, 28);
    connect(m_playButton, &QPushButton::clicked, this, &MainWindow::playButtonClick);
    m_stopButton = new QPushButton(m_playGroup);
    m_stopButton->setObjectName(QStringLiteral("StopButton"));
    m_stopButton->setIcon(makeIcon(IconKind::Stop));
    m_stopButton->setGeometry(57, 8, 51, 28);
    connect(m_stopButton, &QPushButton::clicked, this, &MainWindow::stopButtonClick);
    m_repeatCheckBox = new QCheckBox(m_playGroup);
    m_repeatCheckBox->setObjectName(QStringLiteral("RepeatCheckBox"));
    m_repeatCheckBox->setChecked(true); // playback loops until asked otherwise
    m_repeatCheckBox->setGeometry(7, 40, 100, 20);
    m_rateScrollBar = new QScrollBar(Qt::Horizontal, m_playGroup);
    m_rateScrollBar->setObjectName(QStringLiteral("RateScrollBar"));
    m_rateScrollBar->setRange(kMinFrameRate, kMaxFrameRate);
    m_rateScrollBar->setGeometry(7, 66, 70, 17);
    connect(m_rateScrollBar, &QScrollBar::valueChanged, this, &MainWindow::rateScrollBarChange);
    m_fpsLabel = new QLabel(m_playGroup);
    m_fpsLabel->setGeometry(80, 64, 30, 20);

    m_backgroundButton = new QPushButton(m_selFigPanel);
    m_backgroundButton->setObjectName(QStringLiteral("BackgroundButton"));
    m_backgroundButton->setIcon(makeIcon(IconKind::Background));
    m_backgroundButton->setGeometry(4, 100, 113, 30);
    connect(m_backgroundButton, &QPushButton::clicked, this, &MainWindow::backgroundButtonClick);
    m_addFigureButton = new QPushButton(m_selFigPanel);
    m_addFigureButton->setObjectName(QStringLiteral("AddFigureButton"));
    m_addFigureButton->setIcon(makeIcon(IconKind::AddFigure));
    m_addFigureButton->setGeometry(4, 134, 113, 30);
    connect(m_addFigureButton, &QPushButton::clicked, this, &MainWindow::addFigureButtonClick);

    m_selectedGroup = new QGroupBox(m_selFigPanel);
    m_selectedGroup->setGeometry(4, 170, 113, 218);
    m_deleteFigureButton = figureButton("DeleteFigureButton", int(IconKind::DeleteFigure),
                                        &MainWindow::deleteFigureButtonClick);
    m_editTypeButton =
        figureButton("EditTypeButton", int(IconKind::EditType), &MainWindow::editTypeButtonClick);
    m_centerButton =
        figureButton("CenterButton", int(IconKind::Centre), &MainWindow::centerButtonClick);
    m_flipButton = figureButton("FlipButton", int(IconKind::Flip), &MainWindow::flipButtonClick);
    m_frontButton =
        figureButton("FrontButton", int(IconKind::Raise), &MainWindow::frontButtonClick);
    m_backButton = figureButton("BackButton", int(IconKind::Lower), &MainWindow::backButtonClick);
    m_colorButton =
        figureButton("ColorButton", int(IconKind::Colour), &MainWindow::colorButtonClick);
    m_duplicateButton = figureButton("DuplicateButton", int(IconKind::Duplicate),
                                     &MainWindow::duplicateButtonClick);
    m_joinButton = figureButton("JoinButton", int(IconKind::Join), &MainWindow::joinButtonClick);
    m_joinButton->setCheckable(true);
    const QToolButton* grid[] = {m_deleteFigureButton, m_editTypeButton,  m_centerButton,
                                 m_flipButton,         m_frontButton,     m_backButton,
                                 m_colorButton,        m_duplicateButton, m_joinButton};
    for (int i = 0; i < 9; ++i) {
        const_cast<QToolButton*>(grid[i])->setGeometry(5 + (i % 3) * 35, 20 + (i / 3) * 35, 33, 33);
    }
    m_transScrollBar = new QScrollBar(Qt::Horizontal, m_selectedGroup);
    m_transScrollBar->setObjectName(QStringLiteral("TransScrollBar"));
    m_transScrollBar->setRange(0, 255);
    m_transScrollBar->setGeometry(6, 130, 101, 17);
    connect(m_transScrollBar, &QScrollBar::valueChanged, this, &MainWindow::transScrollBarChange);
    m_scaleSpinEdit = new QSpinBox(m_selectedGroup);
    m_scaleSpinEdit->setObjectName(QStringLiteral("ScaleSpinEdit"));
    m_scaleSpinEdit->setRange(0, 100000);
    m_scaleSpinEdit->setValue(100);
    m_scaleSpinEdit->setSuffix(QStringLiteral(" %"));
    m_scaleSpinEdit->setGeometry(6, 156, 101, 24);
    connect(m_scaleSpinEdit, &QSpinBox::editingFinished, this, &MainWindow::scaleSpinEditChange);

    m_nextFrameButton = new QPushButton(m_selFigPanel);
    m_nextFrameButton->setObjectName(QStringLiteral("NextFrameButton"));
    m_nextFrameButton->setIcon(makeIcon(IconKind::AddFrame));
    m_nextFrameButton->setIconSize(QSize(24, 24));
    m_nextFrameButton->setGeometry(4, 394, 113, 34);
    QFont big = m_nextFrameButton->font();
    big.setBold(true);
    m_nextFrameButton->setFont(big);
    m_nextFrameButton->installEventFilter(this);
    connect(m_nextFrameButton, &QPushButton::clicked, this, &MainWindow::nextFrameButtonClick);

    m_scrollBox = new QScrollArea(m_client);
    m_scrollBox->setObjectName(QStringLiteral("EditingScrollBox"));
    m_scrollBox->setGeometry(136, 88, 537, 433);
    m_scrollBox->setWidgetResizable(false);
    m_scrollBox->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_scrollBox->setFocusPolicy(Qt::StrongFocus);
    m_canvas = new Canvas(m_scene);
    m_canvas->resize(500, 400);
    m_scrollBox->setWidget(m_canvas);
    connect(m_canvas, &Canvas::mousePressed, this, &MainWindow::editPaintBoxMouseDown);
    connect(m_canvas, &Canvas::mouseMoved, this, &MainWindow::editPaintBoxMouseMove);
    connect(m_canvas, &Canvas::mouseReleased, this, &MainWindow::editPaintBoxMouseUp);
}

QAction* MainWindow::addCommand(QMenu* menu, const char* name, void (MainWindow::*slot)(),
                                const QKeySequence& shortcut) {
    auto* action = new QAction(this);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, slot);
    if (menu) {
        menu->addAction(action);
    } else {
        menuBar()->addAction(action);
    }
    return action;
}

void MainWindow::buildMenus() {
    m_fileMenu = menuBar()->addMenu(QString());
    addCommand(m_fileMenu, "New1", &MainWindow::newAnimation, QKeySequence::New);
    addCommand(m_fileMenu, "OpenAnimation1", &MainWindow::chooseAnimationToOpen,
               QKeySequence::Open);
    m_recentMenu = new RecentMenu(this);
    m_fileMenu->addMenu(m_recentMenu);
    addCommand(m_fileMenu, "Save1", &MainWindow::saveDocument, QKeySequence(Qt::CTRL | Qt::Key_S));
    addCommand(m_fileMenu, "SaveAs1", &MainWindow::saveDocumentAs, QKeySequence::SaveAs);
    addCommand(m_fileMenu, "Export1", &MainWindow::exportToFile);
    m_fileMenu->addSeparator();
    addCommand(m_fileMenu, "LoadBackground1", &MainWindow::chooseBackground);
    addCommand(m_fileMenu, "LoadSprite1", &MainWindow::chooseSpriteImage);
    addCommand(m_fileMenu, "LoadFigure1", &MainWindow::chooseFigureTypes);
    addCommand(m_fileMenu, "CreateFigureType1", &MainWindow::openFigureBuilder);
    m_fileMenu->addSeparator();
    addCommand(m_fileMenu, "SVG1", &MainWindow::exportSvg)->setVisible(false);
    addCommand(m_fileMenu, "SVGnohandles1", &MainWindow::exportSvgWithoutHandles)
        ->setVisible(false);
    addCommand(m_fileMenu, "Exit1", &MainWindow::quitEditor, QKeySequence::Quit);

    m_editMenu = menuBar()->addMenu(QString());
    addCommand(m_editMenu, "Undo1", &MainWindow::undoStep, QKeySequence(Qt::CTRL | Qt::Key_Z));
    QAction* redo =
        addCommand(m_editMenu, "Redo1", &MainWindow::redoStep, QKeySequence(Qt::CTRL | Qt::Key_Y));
    redo->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    m_editMenu->addSeparator();
    addCommand(m_editMenu, "SelectAll1", &MainWindow::selectAllFigures,
               QKeySequence(Qt::CTRL | Qt::Key_A));
    addCommand(m_editMenu, "Deletefiguresoutsidearea1", &MainWindow::deleteFiguresOutsideArea)
        ->setVisible(false);

    m_frameMenu = menuBar()->addMenu(QString());
    addCommand(m_frameMenu, "Inbetweens1", &MainWindow::openInbetweensDialog);

    addCommand(nullptr, "Options1", &MainWindow::showOptions);

    m_helpMenu = menuBar()->addMenu(QString());
    addCommand(m_helpMenu, "KeltoHelp1", &MainWindow::showHelp, QKeySequence(Qt::Key_F1));
    addCommand(m_helpMenu, "ViewReadMeFile1", &MainWindow::showReadMe);
    addCommand(m_helpMenu, "About1", &MainWindow::showAbout);

    m_timelineMenu = new QMenu(this);
    addCommand(m_timelineMenu, "Insert1", &MainWindow::insertNewFrame);
    addCommand(m_timelineMenu, "InsertPaste1", &MainWindow::pasteInsert);
    addCommand(m_timelineMenu, "Delete1", &MainWindow::deleteFrames);
    m_timelineMenu->addAction(action(QStringLiteral("Inbetweens1")));
    addCommand(m_timelineMenu, "SaveSelected1", &MainWindow::saveSelectedFramesAs)
        ->setVisible(false);
}

QAction* MainWindow::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void MainWindow::revealHiddenItems() {
    m_hiddenRevealed = true;
    for (const char* name :
         {"SVG1", "SVGnohandles1", "SaveSelected1", "Deletefiguresoutsidearea1"}) {
        action(QString::fromLatin1(name))->setVisible(true);
    }
}

void MainWindow::applyLanguage() {
    applyShellLanguage();
    setFrameLabel();
    m_repeatLabel->setText(getPhrase(PhraseType::MRepeatNum));
    m_playButton->setText(getPhrase(PhraseType::MPlayCap));
    m_playButton->setToolTip(getPhrase(PhraseType::MPlayHint));
    m_stopButton->setText(getPhrase(PhraseType::MStopCap));
    m_stopButton->setToolTip(getPhrase(PhraseType::MStopHint));
    m_repeatCheckBox->setText(getPhrase(PhraseType::MLoopCap));
    m_repeatCheckBox->setToolTip(getPhrase(PhraseType::MLoopHint));
    m_rateScrollBar->setToolTip(getPhrase(PhraseType::MSpeedHint));
    rateScrollBarChange(m_rateScrollBar->value()); // the fps label shows the rate
    m_backgroundButton->setText(getPhrase(PhraseType::MBackCap));
    m_backgroundButton->setToolTip(getPhrase(PhraseType::MBackHint));
    m_addFigureButton->setText(getPhrase(PhraseType::MAddFigCap));
    m_addFigureButton->setToolTip(getPhrase(PhraseType::MAddFigHint));
    m_selectedGroup->setTitle(getPhrase(PhraseType::MSelectedBox));
    m_deleteFigureButton->setToolTip(getPhrase(PhraseType::MDeleteHint));
    m_editTypeButton->setToolTip(getPhrase(PhraseType::MEditHint));
    m_centerButton->setToolTip(getPhrase(PhraseType::MCenterHint));
    m_flipButton->setToolTip(getPhrase(PhraseType::MFlipHint));
    m_frontButton->setToolTip(getPhrase(PhraseType::MRaiseHint));
    m_backButton->setToolTip(getPhrase(PhraseType::MLowerHint));
    m_colorButton->setToolTip(getPhrase(PhraseType::MColorHint));
    m_duplicateButton->setToolTip(getPhrase(PhraseType::MDuplicateHint));
    m_joinButton->setToolTip(getPhrase(PhraseType::MJoinHint));
    m_transScrollBar->setToolTip(getPhrase(PhraseType::MOpacityHint));
    m_scaleSpinEdit->setToolTip(getPhrase(PhraseType::MScaleHint));
    m_nextFrameButton->setText(getPhrase(PhraseType::MAddFrameCap));
    m_nextFrameButton->setToolTip(getPhrase(PhraseType::MAddFrameHint));
    m_pasteFrameButton->setToolTip(getPhrase(PhraseType::MPasteFrames));
    m_deleteSelFrameButton->setToolTip(getPhrase(PhraseType::MTLDeleteSel));
    m_copySelFrameButton->setToolTip(getPhrase(PhraseType::MTLCopySel));

    m_fileMenu->setTitle(getPhrase(PhraseType::MFile));
    m_editMenu->setTitle(getPhrase(PhraseType::Edit));
    m_helpMenu->setTitle(getPhrase(PhraseType::MHelp));
    m_frameMenu->setTitle(getPhrase(PhraseType::MFrameMenu));
    const std::pair<const char*, PhraseType> captions[] = {
        {"New1", PhraseType::MFNew},
        {"OpenAnimation1", PhraseType::MFOpen},
        {"Save1", PhraseType::MFSave},
        {"SaveAs1", PhraseType::MFSaveAs},
        {"Export1", PhraseType::MFExport},
        {"LoadBackground1", PhraseType::MFBack},
        {"LoadFigure1", PhraseType::MFLoadFig},
        {"CreateFigureType1", PhraseType::MFCreateFig},
        {"LoadSprite1", PhraseType::MFSprite},
        {"Exit1", PhraseType::MFExit},
        {"SelectAll1", PhraseType::MSelectAll},
        {"Options1", PhraseType::MOptions},
        {"ViewReadMeFile1", PhraseType::MHReadMe},
        {"About1", PhraseType::MHAbout},
        {"Insert1", PhraseType::MTLInsert},
        {"InsertPaste1", PhraseType::MTLPasteInsert},
        {"Delete1", PhraseType::MTLDelete},
        {"Inbetweens1", PhraseType::MInbetweensCmd},
        {"SaveSelected1", PhraseType::MTLSaveSel},
        {"Undo1", PhraseType::Undo},
        {"Redo1", PhraseType::Redo},
    };
    for (const auto& [name, phrase] : captions) {
        action(QString::fromLatin1(name))->setText(getPhrase(phrase));
    }
    applyViewLanguage();
    // These have no phrase: they are the developer's own items.
    action(QStringLiteral("KeltoHelp1"))->setText(QStringLiteral("Kelto Help"));
    action(QStringLiteral("SVG1"))->setText(QStringLiteral("SVG handles"));
    action(QStringLiteral("SVGnohandles1"))->setText(QStringLiteral("SVG no handles"));
    action(QStringLiteral("Deletefiguresoutsidearea1"))
        ->setText(QStringLiteral("Delete figures outside area"));

    if (m_about) {
        m_about->applyLanguage();
    }
    if (m_export) {
        m_export->applyLanguage();
    }
    if (m_options) {
        m_options->applyLanguage();
    }
    if (m_builder) {
        m_builder->retranslate();
    }
    if (m_language) {
        m_language->applyLanguage();
    }
    if (m_figurePicker) {
        m_figurePicker->applyLanguage();
        m_backgroundPicker->applyLanguage();
    }
}

void MainWindow::setFrameLabel() {
    const int number = onionBase(m_session.editFrameIndex(), m_doc.frameCount()) + 1;
    m_frameLabel->setText(getPhrase(PhraseType::MFrameNum) + QLatin1Char(' ') +
                          QString::number(number));
}

void MainWindow::layoutPanels() {
    const int w = m_client->width(), h = m_client->height();
    m_tlPanel->resize(std::max(w - m_tlPanel->x() - 8, 20), m_tlPanel->height());
    m_tlScrollBar->resize(m_tlPanel->width() - 2, m_tlScrollBar->height());
    m_scrollBox->resize(std::max(w - m_scrollBox->x() - 8, 20),
                        std::max(h - m_scrollBox->y() - 8, 20));
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

// ---- timeline ------------------------------------------------------------------------------

Timeline& MainWindow::timeline() {
    if (!m_timeline) {
        m_timeline = new Timeline(m_tlPanel, m_tlScrollBar, m_doc, this);
        m_timeline->setMenu(m_timelineMenu);
        m_timeline->onClick = [this](int frame, Qt::KeyboardModifiers modifiers) {
            guarded("FrameClick", [&] { selectFrame(frame, modifiers); });
        };
        m_timeline->onPopup = [this](int frame) { m_popupFrame = frame; };
        connectTimelineGestures(*m_timeline);
        auto* blocker = new PlaybackWheelBlocker([this] { return isPlaying(); }, m_timeline);
        m_scrollBox->installEventFilter(blocker);
        m_scrollBox->viewport()->installEventFilter(blocker);
        m_canvas->installEventFilter(blocker);
    }
    m_timeline->setSupersample(m_supersampleFactor);
    return *m_timeline;
}

void MainWindow::storeEditedFrame(bool clearSelection, bool applyToSelected) {
    const int index = m_session.editFrameIndex();
    if (index < 0) {
        return;
    }
    // The frame is edited in place; storing sets the repeat count (and, for a selection,
    // the background) of the frames it applies to, each an undoable step when it changes.
    const int repeat = sanitizeSpinEdit(*m_repeatSpinEdit, 1);
    std::vector<int> frames{index};
    if (applyToSelected && m_frameSelection.count() > 1) {
        for (int f : m_frameSelection.frames()) {
            if (f >= 0 && f < m_doc.frameCount() && f != index) {
                frames.push_back(f);
            }
        }
    }
    m_session.setEditFrame(index); // records what the canvas changed
    m_session.setRepeatCount(frames, repeat);
    if (frames.size() > 1) {
        m_session.setBackground(frames, edit().backgroundIndex);
    }
    if (clearSelection) {
        m_frameSelection.clear(m_doc.frames);
        setSelectedFrameCount(0);
        setEditFrame(-1);
    }
    timeline().drawTimeLine();
    initUndo();
}

void MainWindow::setEditFrame(int index) {
    stopButtonClick();
    // The canvas figures are replaced: a drag in progress ends here, never on a freed figure.
    endDrag();
    const bool switched = index != m_session.editFrameIndex();
    m_session.setEditFrame(index);
    const int shown = m_session.editFrameIndex();
    if (switched) {
        // A frame opens with its last figure selected; selecting is no step of the history.
        edit().clearSelection();
        if (edit().figureCount() > 0) {
            edit().select(edit().figureCount() - 1, true);
        }
    }
    {
        const QSignalBlocker block(m_repeatSpinEdit);
        m_repeatSpinEdit->setValue(shown < 0 ? 1 : edit().repeatCount);
    }
    setFrameLabel();
    edit().joinMode = 0;
    if (shown < 0) {
        m_scene.drawGhost();
    } else {
        m_scene.drawGhostEdit();
    }
    enableFigureControls(edit().figureCount() > 0);
    setFigureControls();
    drawFigures();
}

void MainWindow::showSessionFrame() {
    const int shown = m_session.editFrameIndex();
    setEditFrame(shown);
    timeline().updateScrollBar();
    if (shown >= 0) {
        timeline().ensureVisible(shown);
    }
    timeline().drawTimeLine();
    positionFrameBevels();
    showUndoCaptions();
}

void MainWindow::selectFrame(int index, Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = !ctrl && (modifiers & Qt::ShiftModifier);
    endDrag(); // its move belongs to the frame being left
    if (index != m_session.editFrameIndex()) {
        storeEditedFrame(false, false); // the repeat count goes with the frame being left
    }
    setEditFrame(index);
    if (m_session.editFrameIndex() >= 0) {
        m_frameSelection.click(m_doc.frames, m_session.editFrameIndex(), ctrl, shift);
    } else {
        m_frameSelection.clear(m_doc.frames);
    }
    setSelectedFrameCount(m_frameSelection.count());
    positionFrameBevels();
    initUndo();
}

void MainWindow::insertNewFrame() {
    guarded("InsertFrame", [this] {
        if (m_doc.frames.empty()) {
            return;
        }
        if (!m_doc.canAddFrame()) {
            prompter().tell(getPhrase(PhraseType::MNoMoreFrames));
            return;
        }
        endDrag();
        storeEditedFrame(false, false);
        m_frameSelection.clear(m_doc.frames);
        setSelectedFrameCount(0);
        // The new frame duplicates the frame before it (the old first frame at 0).
        m_session.insertFrame(std::clamp(m_popupFrame, 0, m_doc.frameCount() - 1));
        showSessionFrame();
        const int d = m_session.editFrameIndex();
        m_frameSelection.click(m_doc.frames, d, false, false);
        setSelectedFrameCount(m_frameSelection.count());
        positionFrameBevels();
    });
}

void MainWindow::deleteFrames() {
    guarded("DeleteFrame", [this] {
        if (m_doc.frames.empty() ||
            prompter().ask(getPhrase(PhraseType::MDel1FrameCheck)) != Answer::Yes) {
            return;
        }
        endDrag();
        storeEditedFrame(false, false);
        const int d = std::clamp(m_popupFrame, 0, m_doc.frameCount() - 1);
        const int edited = m_session.editFrameIndex();
        m_session.deleteFrame(d);
        // The edited frame stays on the canvas unless it was the one deleted.
        m_session.setEditFrame(edited == d ? -1 : (d < edited ? edited - 1 : edited));
        m_frameSelection.frameDeleted(d);
        setSelectedFrameCount(m_frameSelection.count());
        showSessionFrame();
        if (m_doc.frames.empty()) {
            setSavedState(true); // nothing left to lose
        }
    });
}

void MainWindow::deleteSelFrameButtonClick() {
    guarded("DeleteSelectedFrames", [this] {
        if (m_frameSelection.count() == 0 ||
            prompter().ask(getPhrase(PhraseType::MDelFrameCheck)) != Answer::Yes) {
            return;
        }
        endDrag();
        storeEditedFrame(false, false);
        m_session.deleteSelectedFrames();
        setSelectedFrameCount(0);
        showSessionFrame();
        if (m_doc.frames.empty()) {
            setSavedState(true); // nothing left to lose
        }
    });
}

void MainWindow::tlScrollBarChange(int value) {
    guarded("TLScrollBarChange", [&] { timeline().scrolled(value); });
}

void MainWindow::nextFrameButtonClick() {
    // A stored frame is stored; the new frame is appended and the editor continues from the
    // same pose.
    guarded("AddFrame", [this] {
        stopButtonClick();
        endDrag(); // a drag in progress ends before its pose is stored
        if (m_session.editFrameIndex() >= 0) {
            storeEditedFrame(true, true);
            showUndoCaptions();
            return;
        }
        if (!m_session.addFrame(sanitizeSpinEdit(*m_repeatSpinEdit, 1))) {
            prompter().tell(getPhrase(PhraseType::MNoMoreFrames));
            return;
        }
        findOnions();
        m_scene.drawGhost();
        drawFigures();
        Timeline& tl = timeline();
        tl.updateScrollBar();
        if (m_tlScrollBar->value() == m_tlScrollBar->maximum()) {
            tl.drawTimeLine();
        } else {
            m_tlScrollBar->setValue(m_tlScrollBar->maximum()); // its handler redraws
        }
        setFrameLabel();
        m_repeatSpinEdit->setValue(1);
        showUndoCaptions();
    });
}

// ---- playback (the playback work completes these) ---------------------------------------

void MainWindow::playButtonClick() {
    guarded("Play", [this] {
        if (isPlaying() || m_doc.frames.empty()) {
            return;
        }
        endDrag();
        m_session.startPlayback(std::max(m_session.editFrameIndex(), 0));
        // The canvas shows the background and border without figures until the first tick.
        m_scene.drawGhostBackground();
        m_scene.screenBuffer() = m_scene.ghostBitmap();
        m_canvas->update();
        m_playTimer->start();
        enableControlsPlaying(false);
        if (m_options && m_options->isVisible()) {
            m_options->hide();
        }
    });
}

void MainWindow::stopButtonClick() {
    if (!isPlaying()) {
        return;
    }
    m_playTimer->stop();
    guarded("Stop", [this] {
        timeline().setPlayFrame(-1);
        enableControlsPlaying(true);
        m_scene.drawGhostEdit();
        setFrameLabel();
        drawFigures();
    });
}

void MainWindow::advancePlayback() {
    guarded("PlayTimer", [this] {
        if (m_drag.active || m_drag.boxActive) {
            endDrag(); // no drag survives into playback
        }
        if (!isPlaying() || m_doc.frames.empty()) {
            stopButtonClick();
            return;
        }
        const PlaybackStep step = m_session.playbackTick(m_repeatCheckBox->isChecked());
        if (step.frame >= 0) {
            // Drawn at the view's zoom, straight onto the canvas buffer.
            m_scene.drawPlaybackFrame(m_doc.frames[size_t(step.frame)]);
            m_frameLabel->setText(getPhrase(PhraseType::MFrameNum) + QLatin1Char(' ') +
                                  QString::number(step.frame + 1));
            timeline().setPlayFrame(step.frame);
        }
        if (step.ended) {
            stopButtonClick();
        }
    });
}

void MainWindow::rateScrollBarChange(int value) {
    m_playTimer->setInterval(value);
    m_doc.frameRate = value;
    const int fps = framesPerSecond(value);
    m_fpsLabel->setText(QString::number(fps));
    m_fpsLabel->move(fpsLabelLeft(fps), m_fpsLabel->y());
}

void MainWindow::enableControlsPlaying(bool on) {
    m_canvas->setEnabled(on);
    m_nextFrameButton->setEnabled(on);
    m_repeatSpinEdit->setEnabled(on);
    enableFigureControls(on);
    const bool selected = on && m_frameSelection.count() > 0;
    m_deleteSelFrameButton->setEnabled(selected);
    m_copySelFrameButton->setEnabled(selected);
    const bool canPaste = on && m_clipboard && m_clipboard->hasFrames();
    m_pasteFrameButton->setEnabled(canPaste);
    if (QAction* paste = action(QStringLiteral("InsertPaste1"))) {
        paste->setEnabled(canPaste);
    }
    for (const char* name : {"Insert1", "Delete1"}) {
        if (QAction* a = action(QString::fromLatin1(name))) {
            a->setEnabled(on);
        }
    }
    m_addFigureButton->setEnabled(on);
    m_backgroundButton->setEnabled(on);
}

// ---- figure commands (the canvas-editing work completes these) ---------------------------

void MainWindow::backgroundButtonClick() {
    if (m_doc.backgroundCount() < 2) {
        prompter().tell(getPhrase(PhraseType::MBackNoneMsg));
        return;
    }
    m_backgroundPicker->show();
    m_backgroundPicker->raise();
}

void MainWindow::addFigureButtonClick() {
    if (m_doc.figureTypeCount() <= kBuiltInFigureTypes) {
        addFigure(1);
        return;
    }
    m_figurePicker->show();
    m_figurePicker->raise();
}

void MainWindow::editTypeButtonClick() {
    guarded("EditFigureType", [this] {
        if (edit().selectedCount() == 0) {
            return;
        }
        const Figure& primary = edit().figures[edit().selection[0]];
        if (primary.typeIndex < m_doc.figureTypeCount()) {
            m_builder->editFigureType(m_doc.figureType(primary.typeIndex));
        }
    });
}
void MainWindow::setSelectedFrameCount(int count) {
    if (count == 0) {
        m_frameSelection.forget();
    }
    const bool any = count > 0 && !isPlaying();
    m_deleteSelFrameButton->setEnabled(any);
    m_copySelFrameButton->setEnabled(any);
    if (QAction* save = action(QStringLiteral("SaveSelected1"))) {
        save->setEnabled(count > 0);
    }
}

void MainWindow::positionFrameBevels() {
    timeline().positionBevels();
}

void MainWindow::recomputeThumbnailSlots() {
    timeline().layout();
}

bool MainWindow::frameStepKey(QKeyEvent* event) {
    int target = m_session.editFrameIndex();
    if (event->key() == Qt::Key_Comma) {
        if (m_session.editFrameIndex() < 0 && !m_doc.frames.empty()) {
            target = m_doc.frameCount() - 1;
        } else if (m_session.editFrameIndex() > 0) {
            target = m_session.editFrameIndex() - 1;
        }
    } else if (event->key() == Qt::Key_Period) {
        if (m_session.editFrameIndex() >= 0) {
            target = m_session.editFrameIndex() + 1 < m_doc.frameCount()
                         ? m_session.editFrameIndex() + 1
                         : -1;
        }
    } else {
        return false;
    }
    if (target != m_session.editFrameIndex()) {
        selectFrame(target);
        timeline().ensureVisible(target);
    }
    return true;
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    guarded("FormKeyDown", [&] { formKeyDown(event); });
}

void MainWindow::keyReleaseEvent(QKeyEvent* event) {
    guarded("FormKeyUp", [&] { formKeyUp(event); });
}

} // namespace kelto
