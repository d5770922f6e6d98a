// The main window's panels, menus and captions: built once, re-captioned on a language switch.
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

} // namespace kelto
