#include "builder/figurebuilderform.h"

#include "builder/buildercanvas.h"
#include "builder/builderunits.h"
#include "builder/nameform.h"
#include "builder/toolglyphs.h"
#include "document/document.h"
#include "report/errorreporter.h"
#include "settings/multilang.h"

#include <QAction>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

// The builder window: its controls, menus, captions and keys. Editing is in
// buildercommands.cpp, drawing in builderpainting.cpp, files and the hand-over in
// builderfiles.cpp.

namespace kelto {

using namespace builder;

namespace {

// The design layout, in client pixels.
constexpr int kCanvasLeft = 96;
constexpr int kInitialCanvasWidth = 322;
constexpr int kInitialCanvasHeight = 345;
constexpr int kClientWidth = 431;
constexpr int kClientHeight = 383;
constexpr int kStatusHeight = 25;

} // namespace

FigureBuilderForm::FigureBuilderForm(Document& document, QWidget* parent)
    : QMainWindow(parent), m_doc(document), m_builder(document), m_upDownTimer(new QTimer(this)),
      m_textTimer(new QTimer(this)) {
    setFocusPolicy(Qt::StrongFocus);
    createControls();
    createMenus();
    m_upDownTimer->setInterval(100);
    m_textTimer->setInterval(50);
    connect(m_upDownTimer, &QTimer::timeout, this, [this] { repeatThicknessStep(); });
    connect(m_textTimer, &QTimer::timeout, this, [this] { refreshStatus(); });

    m_bitmap = Bitmap(kInitialCanvasWidth, kInitialCanvasHeight, PixelFormat::Bits32);
    m_canvas->setSource([this] { return m_bitmap.view(); });
    retranslate();
    initialize();

    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
}

FigureBuilderForm::~FigureBuilderForm() = default;

// ---------------------------------------------------------------------------------------------
// Window

QToolButton* FigureBuilderForm::makeButton(QWidget* parent, int x, int y, int w, int h) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setGeometry(x, y, w, h);
    button->setIconSize(QSize(w - 7, h - 5));
    return button;
}

void FigureBuilderForm::createControls() {
    m_client = new QWidget(this);
    m_client->installEventFilter(this);
    setCentralWidget(m_client);

    m_canvas = new BuilderCanvas(m_client);
    m_canvas->setGeometry(kCanvasLeft, 0, kInitialCanvasWidth, kInitialCanvasHeight);
    BuilderCanvas::Handlers handlers;
    handlers.press = [this](QMouseEvent* e) { canvasPress(e->position().toPoint()); };
    handlers.move = [this](QMouseEvent* e) {
        const auto m = e->modifiers();
        canvasMove(e->position().toPoint(),
                   {m.testFlag(Qt::ControlModifier), m.testFlag(Qt::AltModifier)});
    };
    handlers.release = [this](QMouseEvent*) { canvasRelease(); };
    m_canvas->setHandlers(std::move(handlers));
    createToolButtons();

    m_statusPanel = new QFrame(m_client);
    m_statusPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_statusPanel->setGeometry(0, 352, 105, kStatusHeight);
    m_statusLabel = new QLabel(m_statusPanel);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    m_statusLabel->setFont(font);
    m_statusLabel->move(8, 6);
}

void FigureBuilderForm::createToolButtons() {

    m_toolPanel = new QGroupBox(m_client);
    m_toolPanel->setGeometry(0, 0, 89, 225);
    m_circleButton = makeButton(m_toolPanel, 9, 8, 31, 31);
    m_lineButton = makeButton(m_toolPanel, 49, 8, 31, 31);
    m_toolSeparator = new QFrame(m_toolPanel);
    m_toolSeparator->setFrameShape(QFrame::HLine);
    m_toolSeparator->setFrameShadow(QFrame::Sunken);
    m_toolSeparator->setGeometry(9, 43, 71, 2);
    m_changeKindButton = makeButton(m_toolPanel, 9, 64, 31, 31);
    m_circleKindButton = makeButton(m_toolPanel, 49, 64, 31, 31);
    m_duplicateButton = makeButton(m_toolPanel, 9, 104, 31, 31);
    m_upButton = makeButton(m_toolPanel, 49, 104, 31, 15);
    m_downButton = makeButton(m_toolPanel, 49, 120, 31, 15);
    m_changeStaticButton = makeButton(m_toolPanel, 9, 144, 31, 31);
    m_nominateButton = makeButton(m_toolPanel, 49, 144, 31, 31);
    m_splitButton = makeButton(m_toolPanel, 9, 184, 31, 31);
    m_deleteButton = makeButton(m_toolPanel, 49, 184, 31, 31);

    m_circleButton->setIcon(builderGlyph(BuilderGlyph::Circle));
    m_lineButton->setIcon(builderGlyph(BuilderGlyph::Line));
    m_changeKindButton->setIcon(builderGlyph(BuilderGlyph::ChangeKind));
    m_circleKindButton->setIcon(builderGlyph(BuilderGlyph::CircleFill));
    m_duplicateButton->setIcon(builderGlyph(BuilderGlyph::Duplicate));
    m_upButton->setIcon(builderGlyph(BuilderGlyph::Thicker));
    m_downButton->setIcon(builderGlyph(BuilderGlyph::Thinner));
    m_changeStaticButton->setIcon(builderGlyph(BuilderGlyph::Static));
    m_nominateButton->setIcon(builderGlyph(BuilderGlyph::MainHandle));
    m_splitButton->setIcon(builderGlyph(BuilderGlyph::Split));
    m_deleteButton->setIcon(builderGlyph(BuilderGlyph::Delete));

    connect(m_circleButton, &QToolButton::clicked, this, [this] { circleButtonClick(); });
    connect(m_lineButton, &QToolButton::clicked, this, [this] { lineButtonClick(); });
    connect(m_changeKindButton, &QToolButton::clicked, this, [this] { changeKindButtonClick(); });
    connect(m_circleKindButton, &QToolButton::clicked, this, [this] { circleKindButtonClick(); });
    connect(m_duplicateButton, &QToolButton::clicked, this, [this] { duplicateButtonClick(); });
    connect(m_changeStaticButton, &QToolButton::clicked, this,
            [this] { changeStaticButtonClick(); });
    connect(m_nominateButton, &QToolButton::clicked, this, [this] { nominateButtonClick(); });
    connect(m_splitButton, &QToolButton::clicked, this, [this] { splitButtonClick(); });
    connect(m_deleteButton, &QToolButton::clicked, this, [this] { deleteButtonClick(ctrlHeld()); });
    connect(m_upButton, &QToolButton::pressed, this, [this] { thicknessButtonPressed(true); });
    connect(m_downButton, &QToolButton::pressed, this, [this] { thicknessButtonPressed(false); });
    connect(m_upButton, &QToolButton::released, this, [this] { thicknessButtonReleased(); });
    connect(m_downButton, &QToolButton::released, this, [this] { thicknessButtonReleased(); });
}

void FigureBuilderForm::createMenus() {
    m_fileMenu = menuBar()->addMenu(QString());
    m_newAction = m_fileMenu->addAction(QString(), this, [this] { newType(); });
    m_fileMenu->addSeparator();
    m_openAction = m_fileMenu->addAction(QString(), this, [this] { openType(); });
    m_saveAction = m_fileMenu->addAction(QString(), this, [this] { saveType(); });
    m_saveAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_saveAsAction = m_fileMenu->addAction(QString(), this, [this] { saveTypeAs(); });
    m_addToAnimationAction = m_fileMenu->addAction(QString(), this, [this] { addToAnimation(); });
    m_fileMenu->addSeparator();
    m_closeAction = m_fileMenu->addAction(QString(), this, [this] { closeBuilder(); });

    m_editMenu = menuBar()->addMenu(QString());
    m_undoAction = m_editMenu->addAction(QString(), this, [this] { undo(); });
    m_undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redoAction = m_editMenu->addAction(QString(), this, [this] { redo(); });
    m_redoAction->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    m_editMenu->addSeparator();
    m_editModeAction = m_editMenu->addAction(QString(), this, [this] { toggleEditMode(); });
    m_editModeAction->setCheckable(true);
}

void FigureBuilderForm::retranslate() {
    setWindowTitle(getPhrase(PhraseType::BFormCap));
    m_circleButton->setToolTip(getPhrase(PhraseType::BCircleHint));
    m_lineButton->setToolTip(getPhrase(PhraseType::BLineHint));
    m_changeKindButton->setToolTip(getPhrase(PhraseType::BToggleHint));
    m_circleKindButton->setToolTip(getPhrase(PhraseType::BCircleFillHint));
    m_duplicateButton->setToolTip(getPhrase(PhraseType::BDuplicateHint));
    m_upButton->setToolTip(getPhrase(PhraseType::BThicknessHint));
    m_downButton->setToolTip(getPhrase(PhraseType::BThicknessHint));
    m_changeStaticButton->setToolTip(getPhrase(PhraseType::BStaticHint));
    m_nominateButton->setToolTip(getPhrase(PhraseType::BOriginHint));
    m_splitButton->setToolTip(getPhrase(PhraseType::BSplitHint));
    m_deleteButton->setToolTip(getPhrase(PhraseType::BDeleteHint));
    m_fileMenu->setTitle(getPhrase(PhraseType::BFile));
    m_newAction->setText(getPhrase(PhraseType::BNew));
    m_openAction->setText(getPhrase(PhraseType::BOpen));
    m_saveAction->setText(getPhrase(PhraseType::BSave));
    m_saveAsAction->setText(getPhrase(PhraseType::BSaveAs));
    m_addToAnimationAction->setText(getPhrase(PhraseType::BAddToAnim));
    m_closeAction->setText(getPhrase(PhraseType::BClose));
    m_editMenu->setTitle(getPhrase(PhraseType::Edit));
    m_editModeAction->setText(getPhrase(PhraseType::BEditMode));
    updateUndoCaptions();
    if (m_nameForm) {
        m_nameForm->retranslate();
    }
    if (mode() == Mode::None) {
        displaySegmentData();
    }
}

QToolButton* FigureBuilderForm::button(PhraseType hint) const {
    switch (hint) {
    case PhraseType::BCircleHint:
        return m_circleButton;
    case PhraseType::BLineHint:
        return m_lineButton;
    case PhraseType::BToggleHint:
        return m_changeKindButton;
    case PhraseType::BCircleFillHint:
        return m_circleKindButton;
    case PhraseType::BDuplicateHint:
        return m_duplicateButton;
    case PhraseType::BThicknessHint:
        return m_upButton;
    case PhraseType::BStaticHint:
        return m_changeStaticButton;
    case PhraseType::BOriginHint:
        return m_nominateButton;
    case PhraseType::BSplitHint:
        return m_splitButton;
    case PhraseType::BDeleteHint:
        return m_deleteButton;
    default:
        return nullptr;
    }
}

FigureBuilderForm::Mode FigureBuilderForm::mode() const {
    if (m_pickStart) {
        return Mode::PickStart;
    }
    if (m_drawSegment) {
        return Mode::DrawSegment;
    }
    return m_placeDuplicate ? Mode::PlaceDuplicate : Mode::None;
}

QString FigureBuilderForm::statusText() const {
    return m_statusLabel->text();
}

void FigureBuilderForm::setStatus(const QString& text) {
    m_statusLabel->setText(text);
    m_statusLabel->adjustSize();
}

// The menus are disabled while a mode is active; their shortcuts must not act either.
bool FigureBuilderForm::menusActive() const {
    return mode() == Mode::None;
}

bool FigureBuilderForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize) {
        guarded("Builder.FormResize", [this] { formResize(); });
    }
    return QMainWindow::eventFilter(watched, event);
}

void FigureBuilderForm::formResize() {
    const int w = std::max(1, m_client->width() - kCanvasLeft - 6);
    const int h = std::max(1, m_client->height() - kStatusHeight - 8);
    m_canvas->resize(w, h);
    m_bitmap.reset(w, h, PixelFormat::Bits32);
    m_statusPanel->setGeometry(0, m_client->height() - kStatusHeight - 1, m_client->width(),
                               kStatusHeight);
    m_statusLabel->resize(std::max(1, m_client->width() - 10), m_statusLabel->sizeHint().height());
    clearCanvas();
    drawFigure(true, true);
}

void FigureBuilderForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    guarded("Builder.FormShow", [this] { displaySegmentData(); });
}

void FigureBuilderForm::hideEvent(QHideEvent* event) {
    guarded("Builder.FormHide", [this] {
        if (mode() != Mode::None) {
            leaveModes();
            clearCanvas();
            drawFigure(true, true);
            displaySegmentData();
        }
    });
    QMainWindow::hideEvent(event);
}

void FigureBuilderForm::showBuilder() {
    show();
    raise();
    activateWindow();
}

void FigureBuilderForm::keyPressEvent(QKeyEvent* event) {
    if (mode() != Mode::None) {
        event->accept();
        return;
    }
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    switch (event->key()) {
    case Qt::Key_Up:
        changeThickness(true, ctrl);
        break;
    case Qt::Key_Down:
        changeThickness(false, ctrl);
        break;
    case Qt::Key_Insert:
        splitButtonClick();
        break;
    case Qt::Key_Delete:
        deleteButtonClick(ctrl);
        break;
    case Qt::Key_C:
        circleButtonClick();
        break;
    case Qt::Key_D:
        duplicateButtonClick();
        break;
    case Qt::Key_F:
        circleKindButtonClick();
        break;
    case Qt::Key_K:
        changeKindButtonClick();
        break;
    case Qt::Key_L:
        lineButtonClick();
        break;
    case Qt::Key_O:
        nominateButtonClick();
        break;
    case Qt::Key_S:
        changeStaticButtonClick();
        break;
    default:
        QMainWindow::keyPressEvent(event);
        return;
    }
    event->accept();
}

// ---------------------------------------------------------------------------------------------
// Modes and menus

void FigureBuilderForm::leaveModes() {
    const bool wasInMode = mode() != Mode::None;
    m_pickStart = false;
    m_drawSegment = false;
    m_placeDuplicate = false;
    m_canvas->unsetCursor();
    if (wasInMode) {
        enableSelectedSegmentButtons(true);
    }
}

void FigureBuilderForm::enableSelectedSegmentButtons(bool enabled) {
    for (QToolButton* b :
         {m_changeKindButton, m_deleteButton, m_duplicateButton, m_upButton, m_downButton,
          m_changeStaticButton, m_nominateButton, m_splitButton, m_circleKindButton}) {
        b->setEnabled(enabled);
    }
    m_fileMenu->menuAction()->setEnabled(enabled);
    m_editMenu->menuAction()->setEnabled(enabled);
    m_undoAction->setEnabled(enabled && m_undo.canUndo());
}

void FigureBuilderForm::initUndo() {
    m_undo.init(m_builder.type(), m_builder.figure(), uint8_t(m_builder.selected()));
    updateUndoCaptions();
}

void FigureBuilderForm::assignUndo(PhraseType key) {
    m_undo.assign(key, m_builder.type(), m_builder.figure(), uint8_t(m_builder.selected()));
    updateUndoCaptions();
}

void FigureBuilderForm::updateUndoCaptions() {
    const QString undo = getPhrase(PhraseType::Undo);
    const QString redo = getPhrase(PhraseType::Redo);
    const bool canUndo = m_undo.canUndo();
    m_undoAction->setEnabled(canUndo && m_editMenu->menuAction()->isEnabled());
    m_undoAction->setText(canUndo ? undo + QLatin1Char(' ') + getPhrase(m_undo.undoKey()) : undo);
    m_redoAction->setEnabled(m_undo.canRedo());
    m_redoAction->setText(m_undo.canRedo() ? redo + QLatin1Char(' ') + getPhrase(m_undo.redoKey())
                                           : redo);
}

} // namespace kelto
