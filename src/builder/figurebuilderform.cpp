#include "builder/figurebuilderform.h"

#include "builder/buildercanvas.h"
#include "builder/nameform.h"
#include "builder/smallcross.h"
#include "builder/toolglyphs.h"
#include "dialogs/prompter.h"
#include "document/document.h"
#include "document/filenames.h"
#include "document/stkformat.h"
#include "graphics/drawing.h"
#include "graphics/renderer.h"
#include "settings/appsettings.h"
#include "settings/datafolders.h"
#include "settings/errorreporter.h"
#include "settings/multilang.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace kelto {

namespace {

// The design layout, in client pixels.
constexpr int kCanvasLeft = 96;
constexpr int kInitialCanvasWidth = 322;
constexpr int kInitialCanvasHeight = 345;
constexpr int kClientWidth = 431;
constexpr int kClientHeight = 383;
constexpr int kStatusHeight = 25;

// Colours, 0x00BBGGRR.
constexpr uint32_t kBlack = 0x00000000;
constexpr uint32_t kGrey = 0x00666666;
constexpr uint32_t kSelectedBlue = 0x00FF0000;
constexpr uint32_t kSelectedStatic = 0x00CC4444;
constexpr uint32_t kWhitePixel = 0x00FFFFFF;

constexpr float kMaxThickness = 1000;
constexpr float kNewLength = 48;
constexpr float kNewThickness = 6;

QColor qcolour(uint32_t colour) {
    return QColor(int(colour & 0xFF), int((colour >> 8) & 0xFF), int((colour >> 16) & 0xFF));
}

// Rounds like the status text and the drawing do, safe for values read from damaged files.
int safeRound(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return int(roundHalfEven(std::clamp(v, -2e9, 2e9)));
}

// The pen of a passing preview stroke. Qt refuses pens of 32,768 pixels and more with a warning
// on every mouse move, so the preview is drawn at most as wide as the widest pen it takes.
int previewPenWidth(double v) {
    return std::clamp(safeRound(v), 0, 32767);
}

int safeTrunc(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return int(std::trunc(std::clamp(v, -2e9, 2e9)));
}

QPoint rounded(PointF p) {
    return QPoint(safeRound(p.x), safeRound(p.y));
}

bool ctrlHeld() {
    return QGuiApplication::keyboardModifiers().testFlag(Qt::ControlModifier);
}

QString kindName(uint8_t kind) {
    switch (kind) {
    case skLine:
        return getPhrase(PhraseType::BSegLine);
    case skCircle:
        return getPhrase(PhraseType::BSegCircWhite);
    case skImage:
        return getPhrase(PhraseType::BSegImage);
    case skFilledCircle:
        return getPhrase(PhraseType::BSegCircFill);
    case skHollowCircle:
        return getPhrase(PhraseType::BSegCircClear);
    default:
        return QString::number(kind);
    }
}

} // namespace

FigureBuilderForm::FigureBuilderForm(Document& document, QWidget* parent)
    : QMainWindow(parent), m_doc(document), m_upDownTimer(new QTimer(this)),
      m_textTimer(new QTimer(this)) {
    setFocusPolicy(Qt::StrongFocus);
    createControls();
    createMenus();
    m_upDownTimer->setInterval(100);
    m_textTimer->setInterval(50);
    connect(m_upDownTimer, &QTimer::timeout, this, [this] { upDownTimerTimer(); });
    connect(m_textTimer, &QTimer::timeout, this, [this] { textTimerTimer(); });

    m_figure.typeIndex = 0;
    m_figure.colour = kBlack;
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

FigureType& FigureBuilderForm::type() {
    return m_doc.workingType();
}

const FigureType& FigureBuilderForm::workingType() const {
    return m_doc.figureType(0);
}

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
    handlers.press = [this](QMouseEvent* e) { image1MouseDown(e->position().toPoint()); };
    handlers.move = [this](QMouseEvent* e) {
        const auto m = e->modifiers();
        image1MouseMove(e->position().toPoint(),
                        {m.testFlag(Qt::ControlModifier), m.testFlag(Qt::AltModifier)});
    };
    handlers.release = [this](QMouseEvent*) { image1MouseUp(); };
    m_canvas->setHandlers(std::move(handlers));

    m_panel1 = new QGroupBox(m_client);
    m_panel1->setGeometry(0, 0, 89, 225);
    m_circleButton = makeButton(m_panel1, 9, 8, 31, 31);
    m_lineButton = makeButton(m_panel1, 49, 8, 31, 31);
    m_bevel1 = new QFrame(m_panel1);
    m_bevel1->setFrameShape(QFrame::HLine);
    m_bevel1->setFrameShadow(QFrame::Sunken);
    m_bevel1->setGeometry(9, 43, 71, 2);
    m_changeKindButton = makeButton(m_panel1, 9, 64, 31, 31);
    m_circleKindButton = makeButton(m_panel1, 49, 64, 31, 31);
    m_duplicateButton = makeButton(m_panel1, 9, 104, 31, 31);
    m_upButton = makeButton(m_panel1, 49, 104, 31, 15);
    m_downButton = makeButton(m_panel1, 49, 120, 31, 15);
    m_changeStaticButton = makeButton(m_panel1, 9, 144, 31, 31);
    m_nominateButton = makeButton(m_panel1, 49, 144, 31, 31);
    m_splitButton = makeButton(m_panel1, 9, 184, 31, 31);
    m_deleteButton = makeButton(m_panel1, 49, 184, 31, 31);

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
    connect(m_upButton, &QToolButton::pressed, this, [this] { upDownButtonMouseDown(true); });
    connect(m_downButton, &QToolButton::pressed, this, [this] { upDownButtonMouseDown(false); });
    connect(m_upButton, &QToolButton::released, this, [this] { upDownButtonMouseUp(); });
    connect(m_downButton, &QToolButton::released, this, [this] { upDownButtonMouseUp(); });

    m_panel2 = new QFrame(m_client);
    m_panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_panel2->setGeometry(0, 352, 105, kStatusHeight);
    m_label1 = new QLabel(m_panel2);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    m_label1->setFont(font);
    m_label1->move(8, 6);
}

void FigureBuilderForm::createMenus() {
    m_file1 = menuBar()->addMenu(QString());
    m_new1 = m_file1->addAction(QString(), this, [this] { new1Click(); });
    m_file1->addSeparator();
    m_open1 = m_file1->addAction(QString(), this, [this] { open1Click(); });
    m_save1 = m_file1->addAction(QString(), this, [this] { save1Click(); });
    m_save1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    m_saveAs1 = m_file1->addAction(QString(), this, [this] { saveAs1Click(); });
    m_addToAnimation1 = m_file1->addAction(QString(), this, [this] { addToAnimation1Click(); });
    m_file1->addSeparator();
    m_exit1 = m_file1->addAction(QString(), this, [this] { exit1Click(); });

    m_edit1 = menuBar()->addMenu(QString());
    m_undo1 = m_edit1->addAction(QString(), this, [this] { undo1Click(); });
    m_undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    m_redo1 = m_edit1->addAction(QString(), this, [this] { redo1Click(); });
    m_redo1->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    m_edit1->addSeparator();
    m_editMode1 = m_edit1->addAction(QString(), this, [this] { editMode1Click(); });
    m_editMode1->setCheckable(true);
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
    m_file1->setTitle(getPhrase(PhraseType::BFile));
    m_new1->setText(getPhrase(PhraseType::BNew));
    m_open1->setText(getPhrase(PhraseType::BOpen));
    m_save1->setText(getPhrase(PhraseType::BSave));
    m_saveAs1->setText(getPhrase(PhraseType::BSaveAs));
    m_addToAnimation1->setText(getPhrase(PhraseType::BAddToAnim));
    m_exit1->setText(getPhrase(PhraseType::BClose));
    m_edit1->setTitle(getPhrase(PhraseType::Edit));
    m_editMode1->setText(getPhrase(PhraseType::BEditMode));
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
    return m_label1->text();
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
    m_panel2->setGeometry(0, m_client->height() - kStatusHeight - 1, m_client->width(),
                          kStatusHeight);
    m_label1->resize(std::max(1, m_client->width() - 10), m_label1->sizeHint().height());
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

// ---------------------------------------------------------------------------------------------
// Drawing

void FigureBuilderForm::clearCanvas() {
    m_bitmap.fill(kWhitePixel);
}

void FigureBuilderForm::toScreen() {
    m_canvas->update();
}

void FigureBuilderForm::eraseFigure() {
    const Rect& b = m_figure.bounds;
    fillRect(m_bitmap, {b.left, b.top, b.right + 1, b.bottom + 1}, kWhitePixel);
}

void FigureBuilderForm::drawFigure(bool withHandles, bool toScreenFlag) {
    FigureType& t = type();
    if (m_figure.segmentCount() != t.segmentCount() || t.segmentCount() == 0) {
        return;
    }
    for (int s = 0; s < t.segmentCount(); ++s) {
        if (s == m_selected) {
            continue;
        }
        m_figure.colour = t.segments[size_t(s)].isStatic ? kGrey : kBlack;
        drawSegment(m_figure, t, s, m_bitmap, {0, 0}, 1);
    }
    if (m_selected < t.segmentCount()) {
        Segment& seg = t.segments[m_selected];
        const uint32_t colour = seg.isStatic ? kSelectedStatic : kSelectedBlue;
        m_figure.colour = colour;
        // A zero-thickness segment stays visible while it is selected.
        const float thickness = seg.thickness;
        if (thickness == 0) {
            seg.thickness = 1;
        }
        drawSegment(m_figure, t, m_selected, m_bitmap, {0, 0}, 1);
        seg.thickness = thickness;
        if (seg.kind == skImage) {
            QImage image = m_bitmap.view();
            QPainter painter(&image);
            setUpPainter(painter);
            painter.setPen(QPen(qcolour(colour), 1));
            painter.drawLine(rounded(m_figure.joint(seg.startJoint)),
                             rounded(m_figure.joint(seg.endJoint)));
        }
    }
    m_figure.colour = kBlack;
    if (withHandles) {
        drawHandlesOnCanvas();
    }
    if (toScreenFlag) {
        toScreen();
    }
}

void FigureBuilderForm::drawHandlesOnCanvas() {
    drawHandles(m_figure, type(), m_bitmap, kHandleRed, true, true, {0, 0}, kHandleOrange);
}

void FigureBuilderForm::drawGeneralSegment(QPointF from, QPointF to, bool toScreenFlag,
                                           bool isCircle, const QPen& pen) {
    {
        QImage image = m_bitmap.view();
        QPainter painter(&image);
        setUpPainter(painter);
        painter.setPen(pen);
        painter.setBrush(Qt::white);
        if (!isCircle) {
            painter.drawLine(QPoint(safeRound(from.x()), safeRound(from.y())),
                             QPoint(safeRound(to.x()), safeRound(to.y())));
        } else {
            // The circle whose diameter is the segment.
            const double d = std::hypot(to.x() - from.x(), to.y() - from.y());
            const int x1 = safeRound((from.x() + to.x() - d) / 2);
            const int y1 = safeRound((from.y() + to.y() - d) / 2);
            const int x2 = safeRound((from.x() + to.x() + d) / 2);
            const int y2 = safeRound((from.y() + to.y() + d) / 2);
            painter.drawEllipse(QRect(x1, y1, x2 - x1, y2 - y1));
        }
    }
    if (toScreenFlag) {
        toScreen();
    }
}

void FigureBuilderForm::displaySegmentData() {
    const FigureType& t = type();
    const int n = t.segmentCount();
    if (n == 0 || m_selected >= n || m_figure.segmentCount() != n) {
        return;
    }
    const Segment& seg = t.segments[m_selected];
    int bearing = safeRound(m_figure.pose[m_selected].angle * 180 / kPi) + 90;
    bearing = ((bearing % 360) + 360) % 360;
    const QString text = QStringLiteral("(") + QString::number(n) + QLatin1Char(' ') +
                         getPhrase(n == 1 ? PhraseType::BSegSegment : PhraseType::BSegSegments) +
                         QStringLiteral(" )    ") + kindName(seg.kind) + QStringLiteral(": ") +
                         getPhrase(PhraseType::BSegThickness) + QLatin1Char(' ') +
                         QString::number(safeTrunc(seg.thickness)) + QStringLiteral(", ") +
                         getPhrase(PhraseType::BSegLength) + QLatin1Char(' ') +
                         QString::number(safeRound(seg.length)) + QStringLiteral(", ") +
                         getPhrase(PhraseType::BSegAngle) + QLatin1Char(' ') +
                         QString::number(bearing) + QStringLiteral(", ") +
                         getPhrase(seg.isStatic ? PhraseType::BSegStatic : PhraseType::BSegDynamic);
    m_label1->setText(text);
    m_label1->adjustSize();
    if (!m_drawSegment) {
        m_circleKindButton->setEnabled(isCircleKind(seg.kind));
    }
}

// ---------------------------------------------------------------------------------------------
// State helpers

void FigureBuilderForm::recompute() {
    m_figure.computeJoints(type());
    m_figure.updateBounds(type());
}

void FigureBuilderForm::rebuildFigure(PointF root) {
    m_figure.scale = 1;
    m_figure.setType(0, type());
    m_figure.placeRoot(root, type());
    m_figure.updateBounds(type());
}

void FigureBuilderForm::finishEdit(PhraseType key) {
    displaySegmentData();
    drawFigure(true, true);
    m_modified = true;
    assignUndo(key);
}

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
    m_file1->menuAction()->setEnabled(enabled);
    m_edit1->menuAction()->setEnabled(enabled);
    m_undo1->setEnabled(enabled && m_undo.canUndo());
}

void FigureBuilderForm::storeFigTypeAttributes() {
    FigureType& t = type();
    const int n = std::min(t.segmentCount(), m_figure.segmentCount());
    for (int i = 0; i < n; ++i) {
        Segment& seg = t.segments[size_t(i)];
        SegmentPose& pose = m_figure.pose[size_t(i)];
        seg.angle = pose.angle;
        pose.length *= m_figure.scale;
        seg.length = pose.length;
        seg.thickness *= m_figure.scale;
    }
    m_figure.setScale(1, t);
    m_figure.stretchedCount = 0;
}

float FigureBuilderForm::parentThickness(int joint) const {
    const FigureType& t = workingType();
    int segment = 0;
    if (joint > 0 && joint < t.jointCount() && t.joints[size_t(joint)].inSegment >= 0) {
        segment = t.joints[size_t(joint)].inSegment;
    }
    return t.segments[size_t(segment)].thickness;
}

int FigureBuilderForm::startJointOfHit(int hit) const {
    return hit == kMainHandle ? 0 : workingType().segments[size_t(hit)].endJoint;
}

// Every segment command works on the selected segment; a type always has one, but the
// commands must not trust that.
bool FigureBuilderForm::hasSelection() const {
    return m_selected < workingType().segmentCount() &&
           m_figure.segmentCount() == workingType().segmentCount();
}

// The menus are disabled while a mode is active; their shortcuts must not act either.
bool FigureBuilderForm::menusActive() const {
    return mode() == Mode::None;
}

bool FigureBuilderForm::askUnsaved() {
    return !m_modified || prompter().ask(getPhrase(PhraseType::BFigUnsaved)) == Answer::Yes;
}

// ---------------------------------------------------------------------------------------------
// Starting over

void FigureBuilderForm::initialize() {
    guarded("Builder.Initialize", [this] {
        m_grabbed = kNoHandle;
        m_pickStart = false;
        m_drawSegment = false;
        m_canvas->unsetCursor();
        enableSelectedSegmentButtons(true);
        m_editMode = m_editMode1->isChecked();
        m_fileName.clear();
        m_selected = 0;
        m_placeDuplicate = false;

        FigureType fresh;
        fresh.addSegment(0, skLine, kNewLength, kNewThickness, 0, 0, 0);
        type().assign(fresh);
        m_figure.scale = 1;
        m_figure.setType(0, type());
        const PointF centre{double(m_canvas->width() / 2), double(m_canvas->height() / 2)};
        m_figure.jointPos[0].x = float(centre.x);
        m_figure.jointPos[0].y = float(centre.y);
        m_figure.pose[0].angle = angleTo(centre.x, centre.y, centre.x, centre.y - kNewLength);
        m_figure.pose[0].length = kNewLength;
        recompute();

        clearCanvas();
        drawFigure(true, true);
        initUndo();
        displaySegmentData();
        m_dragging = false;
        m_modified = false;
        m_moved = false;
    });
}

void FigureBuilderForm::editFigureType(const FigureType& source) {
    guarded("Builder.EditFigureType", [this, &source] {
        if (source.segmentCount() == 0) {
            return; // nothing to draw; keep what the builder holds
        }
        m_upDownTimer->stop();
        m_textTimer->stop();
        m_dragging = false;
        m_moved = false;
        m_grabbed = kNoHandle;
        leaveModes();
        m_selected = 0;
        m_fileName.clear();
        eraseFigure();
        type().assign(source);
        rebuildFigure({double(m_canvas->width() / 2), double(m_canvas->height() / 2)});
        displaySegmentData();
        drawFigure(true, true);
        m_modified = false;
        initUndo();
    });
    showBuilder();
}

void FigureBuilderForm::openFromCommandLine(const QString& path) {
    showBuilder();
    openFigure(path);
}

// ---------------------------------------------------------------------------------------------
// Keyboard

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
// Adding and duplicating segments

void FigureBuilderForm::lineButtonClick() {
    m_newKind = skLine;
    guarded("Builder.LineButtonClick", [this] { startAddingSegment(); });
}

void FigureBuilderForm::circleButtonClick() {
    m_newKind = skCircle;
    guarded("Builder.CircleButtonClick", [this] { startAddingSegment(); });
}

void FigureBuilderForm::startAddingSegment() {
    if (type().segmentCount() >= kMaxSegments) {
        prompter().tell(getPhrase(PhraseType::BNoMoreSeg));
        return;
    }
    m_canvas->setCursor(smallCrossCursor());
    if (m_placeDuplicate) {
        clearCanvas();
        drawFigure(true, true);
        m_placeDuplicate = false;
    }
    m_label1->setText(getPhrase(PhraseType::BSelectHandle));
    m_label1->adjustSize();
    if (m_drawSegment) {
        clearCanvas();
        drawFigure(true, true);
        m_drawSegment = false;
    }
    m_pickStart = true;
    enableSelectedSegmentButtons(false);
}

void FigureBuilderForm::duplicateButtonClick() {
    guarded("Builder.DuplicateButtonClick", [this] {
        if (!hasSelection()) {
            return;
        }
        const FigureType& t = type();
        if (t.segmentCount() >= kMaxSegments) {
            prompter().tell(getPhrase(PhraseType::BNoMoreSeg));
            return;
        }
        m_placeDuplicate = true;
        enableSelectedSegmentButtons(false);
        m_canvas->setCursor(smallCrossCursor());
        m_label1->setText(getPhrase(PhraseType::BSelectHandle));
        m_label1->adjustSize();
        const Segment& seg = t.segments[m_selected];
        const PointF a = m_figure.joint(seg.startJoint);
        const PointF b = m_figure.joint(seg.endJoint);
        m_dupOffsetX = float(b.x - a.x);
        m_dupOffsetY = float(b.y - a.y);
        m_newKind = seg.kind;
        setMousePos(QPointF(a.x, a.y));
    });
}

void FigureBuilderForm::setMousePos(QPointF point) {
    QCursor::setPos(m_canvas->mapToGlobal(QPoint(safeRound(point.x()), safeRound(point.y()))));
}

void FigureBuilderForm::pickStartAt(QPoint pos) {
    const int hit = m_figure.hitHandle(type(), {double(pos.x()), double(pos.y())}, true, true);
    if (hit == kNoHandle) {
        return;
    }
    m_newStartJoint = uint8_t(startJointOfHit(hit));
    m_label1->setText(getPhrase(PhraseType::BClickToAdd));
    m_label1->adjustSize();
    m_pickStart = false;
    m_drawSegment = true;
}

void FigureBuilderForm::addSegmentAt(QPoint pos) {
    clearCanvas(); // ending a mode: the preview may reach beyond the figure
    FigureType& t = type();
    const PointF start = m_figure.joint(m_newStartJoint);
    const double dx = pos.x() - start.x, dy = pos.y() - start.y;
    const float length = float(std::hypot(dx, dy));
    t.addSegment(m_newStartJoint, m_newKind, length, parentThickness(m_newStartJoint), 0, 0, 0);
    m_figure.jointPos.push_back({float(pos.x()), float(pos.y()), {}});
    m_figure.pose.push_back({angleTo(start.x, start.y, pos.x(), pos.y()), length});
    recompute();
    m_selected = uint8_t(t.segmentCount() - 1);
    m_drawSegment = false;
    drawFigure(true, true);
    m_modified = true;
    assignUndo(PhraseType::BUndoAdd);
    m_canvas->unsetCursor();
    enableSelectedSegmentButtons(true);
    displaySegmentData();
}

void FigureBuilderForm::placeDuplicateAt(QPoint pos) {
    const int hit = m_figure.hitHandle(type(), {double(pos.x()), double(pos.y())}, true, true);
    if (hit == kNoHandle) {
        return;
    }
    FigureType& t = type();
    const int start = startJointOfHit(hit);
    const Segment source = t.segments[m_selected];
    const SegmentPose sourcePose = m_figure.pose[m_selected];
    t.addSegment(uint8_t(start), m_newKind, source.length, source.thickness, 0, source.isStatic, 0);
    const PointF a = m_figure.joint(start);
    m_figure.jointPos.push_back({float(a.x + m_dupOffsetX), float(a.y + m_dupOffsetY), {}});
    m_figure.pose.push_back(sourcePose); // parallel to the segment it copies
    recompute();
    clearCanvas();
    m_placeDuplicate = false;
    m_canvas->unsetCursor();
    enableSelectedSegmentButtons(true);
    m_selected = uint8_t(t.segmentCount() - 1);
    displaySegmentData();
    drawFigure(true, true);
    m_modified = true;
    assignUndo(PhraseType::BUndoDuplicate);
    m_grabbed = kNoHandle;
}

void FigureBuilderForm::previewNewSegment(QPoint pos) {
    clearCanvas();
    paintFigure(m_figure, type(), m_bitmap, 0, {0, 0}, 1);
    const PointF start = m_figure.joint(m_newStartJoint);
    QPen pen(qcolour(m_figure.colour));
    pen.setWidth(previewPenWidth(m_figure.scale * parentThickness(m_newStartJoint)));
    pen.setCapStyle(Qt::RoundCap);
    drawGeneralSegment(QPointF(start.x, start.y), pos, true, m_newKind == skCircle, pen);
}

void FigureBuilderForm::previewDuplicate(QPoint pos) {
    clearCanvas();
    drawFigure(false, false);
    const Segment& seg = type().segments[m_selected];
    QPen pen(qcolour(seg.isStatic ? kGrey : kBlack));
    pen.setWidth(previewPenWidth(seg.thickness));
    pen.setCapStyle(Qt::RoundCap);
    drawGeneralSegment(pos, QPointF(pos) + QPointF(m_dupOffsetX, m_dupOffsetY), false,
                       isCircleKind(m_newKind), pen);
    drawHandlesOnCanvas();
    toScreen();
}

// ---------------------------------------------------------------------------------------------
// Mouse

void FigureBuilderForm::image1MouseDown(QPoint pos) {
    guarded("Builder.Image1MouseDown", [this, pos] {
        if (m_pickStart) {
            pickStartAt(pos);
        } else if (m_drawSegment) {
            addSegmentAt(pos);
        } else if (m_placeDuplicate) {
            placeDuplicateAt(pos);
        } else {
            selectAt(pos);
        }
    });
}

void FigureBuilderForm::selectAt(QPoint pos) {
    m_dragging = true;
    const FigureType& t = type();
    m_grabbed = int16_t(m_figure.hitHandle(t, {double(pos.x()), double(pos.y())}, true, true));
    if (m_grabbed != kNoHandle) {
        m_textTimer->start();
    }
    if (m_grabbed >= 0) {
        m_selected = uint8_t(m_grabbed);
        displaySegmentData();
        eraseFigure();
        drawFigure(true, true);
    }
    m_lastMouse = pos;
}

void FigureBuilderForm::image1MouseMove(QPoint pos, Modifiers mods) {
    guarded("Builder.Image1MouseMove", [this, pos, mods] {
        if (m_drawSegment) {
            previewNewSegment(pos);
        } else if (m_placeDuplicate) {
            previewDuplicate(pos);
        } else if (m_dragging && m_grabbed != kNoHandle && pos != m_lastMouse) {
            dragTo(pos, mods);
        }
    });
}

void FigureBuilderForm::dragTo(QPoint pos, Modifiers mods) {
    m_moved = true;
    eraseFigure();
    const FigureType& t = type();
    if (m_grabbed == kMainHandle) {
        m_figure.move(pos.x() - m_lastMouse.x(), pos.y() - m_lastMouse.y());
    } else if (m_editMode) {
        moveJointTo(m_grabbed, pos);
    } else {
        m_figure.dragHandle(t, m_grabbed, {double(pos.x()), double(pos.y())}, false, mods);
        storeFigTypeAttributes();
    }
    drawFigure(true, true);
    m_modified = true;
    m_lastMouse = pos;
}

// Edit mode: only the grabbed joint moves; the segments on both sides of it change their
// lengths and directions so every other joint stays where it is.
void FigureBuilderForm::moveJointTo(int g, QPoint pos) {
    FigureType& t = type();
    const int end = t.segments[size_t(g)].endJoint;
    const int start = t.segments[size_t(g)].startJoint;
    const double mx = pos.x(), my = pos.y();
    m_figure.jointPos[size_t(end)].x = float(mx);
    m_figure.jointPos[size_t(end)].y = float(my);
    for (uint8_t c : t.joints[size_t(end)].children) {
        const PointF e = m_figure.joint(t.segments[c].endJoint);
        const float length = float(std::hypot(e.x - mx, e.y - my));
        t.segments[c].length = length;
        m_figure.pose[c] = {angleTo(mx, my, e.x, e.y), length};
    }
    const PointF a = m_figure.joint(start);
    const float length = float(std::hypot(mx - a.x, my - a.y));
    t.segments[size_t(g)].length = length;
    m_figure.pose[size_t(g)] = {angleTo(a.x, a.y, mx, my), length};
    recompute();
}

void FigureBuilderForm::image1MouseUp() {
    guarded("Builder.Image1MouseUp", [this] {
        m_dragging = false;
        m_textTimer->stop();
        if (m_grabbed != kNoHandle) {
            displaySegmentData();
        }
        m_grabbed = kNoHandle;
        if (m_moved) {
            assignUndo(PhraseType::BUndoMove);
            m_moved = false;
        }
    });
}

void FigureBuilderForm::textTimerTimer() {
    guarded("Builder.TextTimerTimer", [this] { displaySegmentData(); });
}

// ---------------------------------------------------------------------------------------------
// Segment operations

void FigureBuilderForm::changeKindButtonClick() {
    guarded("Builder.ChangeKindButtonClick", [this] {
        if (!hasSelection()) {
            return;
        }
        eraseFigure();
        FigureType& t = type();
        Segment& seg = t.segments[m_selected];
        seg.kind = seg.kind != skLine ? skLine : skCircle;
        t.imageRefs[m_selected] = ImageRef{}; // only picture segments carry a reference
        recompute();
        finishEdit(PhraseType::BUndoKind);
    });
}

void FigureBuilderForm::circleKindButtonClick() {
    guarded("Builder.CircleKindButtonClick", [this] {
        if (!hasSelection()) {
            return;
        }
        Segment& seg = type().segments[m_selected];
        uint8_t next;
        switch (seg.kind) {
        case skCircle:
            next = skFilledCircle;
            break;
        case skFilledCircle:
            next = skHollowCircle;
            break;
        case skHollowCircle:
            next = skCircle;
            break;
        default:
            return;
        }
        eraseFigure();
        seg.kind = next;
        recompute();
        finishEdit(PhraseType::BUndoFillKind);
    });
}

void FigureBuilderForm::changeStaticButtonClick() {
    guarded("Builder.ChangeStaticButtonClick", [this] {
        if (!hasSelection()) {
            return;
        }
        eraseFigure();
        Segment& seg = type().segments[m_selected];
        seg.isStatic = seg.isStatic ? 0 : 1;
        recompute();
        finishEdit(PhraseType::BUndoStatic);
    });
}

void FigureBuilderForm::changeThickness(bool up, bool ctrl) {
    guarded("Builder.ChangeThickness", [this, up, ctrl] {
        if (!hasSelection()) {
            return;
        }
        Segment& seg = type().segments[m_selected];
        const float step = ctrl ? 5.0f : 1.0f;
        float thickness = up ? seg.thickness + step : seg.thickness - step;
        if (!(thickness >= 0)) { // below zero or not a number
            thickness = 0;
        } else if (thickness > kMaxThickness) {
            thickness = kMaxThickness;
        }
        eraseFigure();
        seg.thickness = thickness;
        recompute();
        finishEdit(PhraseType::BUndoThickness);
    });
}

void FigureBuilderForm::upDownButtonMouseDown(bool up) {
    m_repeatUp = up ? 1 : 0;
    m_repeatCounter = 0;
    changeThickness(up, ctrlHeld());
    m_upDownTimer->start();
}

void FigureBuilderForm::upDownButtonMouseUp() {
    m_upDownTimer->stop();
}

void FigureBuilderForm::upDownTimerTimer() {
    if (mode() != Mode::None) { // a key started a mode while the button was held
        m_upDownTimer->stop();
        return;
    }
    // The first four ticks only wait, so a click gives one step and holding repeats.
    if (m_repeatCounter < 4) {
        ++m_repeatCounter;
        return;
    }
    changeThickness(m_repeatUp == 1, ctrlHeld());
}

void FigureBuilderForm::splitButtonClick() {
    guarded("Builder.SplitButtonClick", [this] {
        if (!hasSelection()) {
            return;
        }
        FigureType& t = type();
        if (t.segmentCount() >= kMaxSegments) {
            prompter().tell(getPhrase(PhraseType::BNoMoreSeg));
            return;
        }
        const PointF root = m_figure.joint(0);
        eraseFigure();
        storeFigTypeAttributes();
        t.splitSegment(m_selected);
        rebuildFigure(root);
        finishEdit(PhraseType::BUndoSplit);
    });
}

void FigureBuilderForm::deleteButtonClick(bool wholeBranch) {
    guarded("Builder.DeleteButtonClick", [this, wholeBranch] {
        if (!hasSelection()) {
            return;
        }
        FigureType& t = type();
        const Segment& seg = t.segments[m_selected];
        if (seg.startJoint == 0 && t.joints[0].children.size() == 1 &&
            (wholeBranch || t.joints[seg.endJoint].children.empty())) {
            return; // the figure would lose its last root segment
        }
        const PointF root = m_figure.joint(0);
        eraseFigure();
        storeFigTypeAttributes();
        t.deleteSegment(m_selected, wholeBranch);
        rebuildFigure(root);
        if (m_selected >= t.segmentCount()) {
            m_selected = uint8_t(t.segmentCount() - 1);
        }
        finishEdit(PhraseType::BUndoDelete);
    });
}

void FigureBuilderForm::nominateButtonClick() {
    guarded("Builder.NominateButtonClick", [this] {
        if (!hasSelection()) {
            return;
        }
        FigureType& t = type();
        const PointF newRoot = m_figure.joint(t.segments[m_selected].endJoint);
        eraseFigure();
        storeFigTypeAttributes();
        t.makeRoot(m_selected);
        rebuildFigure(newRoot);
        m_selected = 0;
        finishEdit(PhraseType::BUndoOrigin);
    });
}

void FigureBuilderForm::editMode1Click() {
    m_editMode = !m_editMode;
    m_editMode1->setChecked(m_editMode);
}

// ---------------------------------------------------------------------------------------------
// Undo

void FigureBuilderForm::initUndo() {
    m_undo.init(type(), m_figure, m_selected);
    updateUndoCaptions();
}

void FigureBuilderForm::assignUndo(PhraseType key) {
    m_undo.assign(key, type(), m_figure, m_selected);
    updateUndoCaptions();
}

void FigureBuilderForm::updateUndoCaptions() {
    const QString undo = getPhrase(PhraseType::Undo);
    const QString redo = getPhrase(PhraseType::Redo);
    const bool canUndo = m_undo.canUndo();
    m_undo1->setEnabled(canUndo && m_edit1->menuAction()->isEnabled());
    m_undo1->setText(canUndo ? undo + QLatin1Char(' ') + getPhrase(m_undo.undoKey()) : undo);
    m_redo1->setEnabled(m_undo.canRedo());
    m_redo1->setText(m_undo.canRedo() ? redo + QLatin1Char(' ') + getPhrase(m_undo.redoKey())
                                      : redo);
}

void FigureBuilderForm::restoreState(const BuilderUndoState& state) {
    type().assign(state.type);
    m_figure.assign(state.figure);
    m_figure.colour = kBlack;
    m_selected = state.selected;
    updateUndoCaptions();
    drawFigure(true, true);
    m_modified = true;
    displaySegmentData();
}

void FigureBuilderForm::undo1Click() {
    guarded("Builder.Undo1Click", [this] {
        if (!m_undo.canUndo() || mode() != Mode::None) {
            return;
        }
        eraseFigure();
        restoreState(m_undo.undo());
    });
}

void FigureBuilderForm::redo1Click() {
    guarded("Builder.Redo1Click", [this] {
        if (!m_undo.canRedo() || mode() != Mode::None) {
            return;
        }
        eraseFigure();
        restoreState(m_undo.redo());
    });
}

// ---------------------------------------------------------------------------------------------
// Files

void FigureBuilderForm::new1Click() {
    if (!menusActive()) {
        return;
    }
    if (!askUnsaved()) {
        return;
    }
    initialize();
}

void FigureBuilderForm::open1Click() {
    guarded("Builder.Open1Click", [this] {
        if (!menusActive()) {
            return;
        }
        if (!askUnsaved()) {
            return;
        }
        // The preview reads into a type of its own, so no scratch entry of the document's
        // list needs releasing afterwards.
        const QStringList names = prompter().openFileNames(
            getPhrase(PhraseType::BOpen), QString::fromStdString(appSettings().stkDir),
            getPhrase(PhraseType::MStkFile) + QStringLiteral(" (*.stk)"), false, true);
        if (names.isEmpty()) {
            return;
        }
        const QFileInfo info(names.first());
        if (info.suffix().toLower() != QLatin1String("stk")) {
            prompter().tell(getPhrase(PhraseType::MFileTypeWrong));
            return;
        }
        appSettings().stkDir = info.absolutePath().toStdString();
        openFigure(names.first());
    });
}

bool FigureBuilderForm::openFigure(const QString& fileName) {
    bool opened = false;
    guarded("Builder.OpenFigure", [this, &fileName, &opened] {
        if (!QFileInfo::exists(fileName)) {
            prompter().tell(getPhrase(PhraseType::MFileNotExist));
            return;
        }
        // Read into a scratch type first: a damaged file leaves the working type alone.
        FigureType loaded;
        if (!guarded("Builder.ReadFigureType",
                     [&] { loaded = loadStkFile(QFile::encodeName(fileName).toStdString()); })) {
            return;
        }
        m_upDownTimer->stop();
        m_textTimer->stop();
        m_dragging = false;
        m_moved = false;
        m_fileName = fileName;
        m_grabbed = kNoHandle;
        leaveModes();
        m_selected = 0;
        eraseFigure();
        type().assign(loaded);
        rebuildFigure({double(m_canvas->width() / 2), double(m_canvas->height() / 2)});
        displaySegmentData();
        drawFigure(true, true);
        m_modified = false;
        assignUndo(PhraseType::BUndoOpen);
        opened = true;
    });
    return opened;
}

void FigureBuilderForm::save1Click() {
    guarded("Builder.Save1Click", [this] {
        if (!menusActive()) {
            return;
        }
        if (m_fileName.isEmpty()) {
            saveAs1Click();
            return;
        }
        if (saveFigureTypeAs(m_fileName, false)) {
            m_modified = false;
        }
    });
}

void FigureBuilderForm::saveAs1Click() {
    guarded("Builder.SaveAs1Click", [this] {
        if (!menusActive()) {
            return;
        }
        const QString stk = getPhrase(PhraseType::MStkFile) + QStringLiteral(" (*.stk)");
        const QString filters = stk + QStringLiteral(";;Kelto V2 Stick Figure File (*.stk)");
        int filter = 0;
        const QString name = prompter().saveFileName(
            getPhrase(PhraseType::BSaveAs),
            writableSaveFolder(QString::fromStdString(appSettings().stkDir)), filters,
            QStringLiteral("stk"), &filter);
        if (name.isEmpty()) {
            return;
        }
        if (QFileInfo::exists(name) &&
            prompter().ask(getPhrase(PhraseType::ReplaceFile)) != Answer::Yes) {
            return;
        }
        appSettings().stkDir = QFileInfo(name).absolutePath().toStdString();
        // The name is taken only once the file is written, so a failed save leaves the type
        // untitled (or under its old name) and still modified.
        if (saveFigureTypeAs(name, filter == 1)) {
            m_fileName = name;
            m_modified = false;
        }
    });
}

bool FigureBuilderForm::saveFigureTypeAs(const QString& fileName, bool v2) {
    bool changed = false;
    const bool saved = guarded("Builder.SaveFigureTypeAs", [&] {
        storeFigTypeAttributes();
        const std::string path = QFile::encodeName(fileName).toStdString();
        if (v2) {
            changed = saveStkFileV2(type(), path);
        } else {
            saveStkFile(type(), path);
        }
    });
    if (saved && changed) {
        prompter().tell(getPhrase(PhraseType::BKelto2StkConv));
    }
    return saved;
}

void FigureBuilderForm::exit1Click() {
    if (!menusActive()) {
        return;
    }
    hide();
}

// ---------------------------------------------------------------------------------------------
// Hand-over

void FigureBuilderForm::addToAnimation1Click() {
    guarded("Builder.AddToAnimation1Click", [this] {
        if (!menusActive()) {
            return;
        }
        if (!m_doc.canAddFigureType()) {
            prompter().tell(getPhrase(PhraseType::NoMoreFigType));
            return;
        }
        QString name;
        const bool typed = m_fileName.isEmpty();
        if (!typed) {
            name = QFileInfo(m_fileName).completeBaseName();
        } else if (m_nameAsker) {
            name = m_nameAsker(m_doc.figureTypeCount());
        } else {
            if (!m_nameForm) {
                m_nameForm = new NameForm(this);
            }
            name = m_nameForm->askName(m_doc.figureTypeCount());
        }
        if (name.isEmpty()) {
            return;
        }
        // A typed name must survive the animation file as typed; a file's name has the
        // characters the file cannot hold replaced, as Load Figure Type does.
        if (typed && !isStorableName(name.toStdString())) {
            prompter().tell(getPhrase(PhraseType::BFigNameChars));
            return;
        }
        const std::string stored = storableName(name.toStdString());
        if (m_doc.findFigureType(stored) >= 0) {
            prompter().tell(getPhrase(PhraseType::BFigNameTaken));
            return;
        }
        storeFigTypeAttributes();
        type().dropUnusedImages();
        FigureType copy;
        copy.assign(type());
        const int index = m_doc.addFigureType(std::move(copy), stored);
        Q_EMIT figureTypeAdded(index);
        m_modified = false;
        hide();
    });
}

} // namespace kelto
