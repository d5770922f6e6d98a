#pragma once

#include "builder/builderhistory.h"
#include "document/figurebuilder.h"
#include "graphics/bitmap.h"
#include "model/figure.h"
#include "settings/phrasetype.h"

#include <QMainWindow>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <functional>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QTimer;
class QToolButton;

namespace kelto {

class BuilderCanvas;
class Document;
class NameForm;

// The figure builder: a separate window in which the document's working figure type (entry 0)
// is drawn segment by segment. It owns one figure of that type, an off-screen canvas and its
// own undo ring, and hands finished types to the document with "Add To Animation".
//
// The main window wires it up through:
//   - figureTypeAdded(index): emitted after "Add To Animation" appended type `index` to the
//     document; the main window adds the picker cell and puts a figure of it on the canvas.
//   - showBuilder(): "Create Figure Type" (stop playback first).
//   - editFigureType(type): "Edit Figure Type" with the type of the first selected figure.
//   - openFromCommandLine(path): a .stk file named on the command line.
class FigureBuilderForm : public QMainWindow {
    Q_OBJECT
public:
    // Which of the three exclusive modes is active, if any.
    enum class Mode { None, PickStart, DrawSegment, PlaceDuplicate };

    explicit FigureBuilderForm(Document& document, QWidget* parent = nullptr);
    ~FigureBuilderForm() override;

    // --- Entries from the main window ---
    void showBuilder();
    // Copies type in as the working type without asking about unsaved changes, restarts the
    // undo ring and shows the window. Later edits never touch the document's own type.
    void editFigureType(const FigureType& type);
    void openFromCommandLine(const QString& path);

    // The name dialog is asked through this hook (tests script it); by default the modal
    // "Figure Name" dialog. It receives the document's type count and returns the name, empty
    // for cancel.
    void setNameAsker(std::function<QString(int typeCount)> asker) {
        m_nameAsker = std::move(asker);
    }

    // --- Working methods ---
    // Starts a new one-segment type: a dynamic line of length 48 and thickness 6 pointing up
    // from the canvas centre. Clears the file name and restarts the undo ring.
    void initialize();
    void eraseFigure();
    void drawFigure(bool withHandles, bool toScreen);
    void displaySegmentData();
    void enableSelectedSegmentButtons(bool enabled);
    void changeThickness(bool up, bool ctrl);
    // False when the file is missing or unreadable (the working type then stays as it was).
    bool openFigure(const QString& fileName);
    // False when writing failed (reported); the V2 form tells when data had to change.
    bool saveFigureTypeAs(const QString& fileName, bool v2);
    void initUndo();
    void assignUndo(PhraseType key);

    // --- Commands (buttons, keys, menus) ---
    void lineButtonClick();
    void circleButtonClick();
    void changeKindButtonClick();
    void circleKindButtonClick();
    void duplicateButtonClick();
    void changeStaticButtonClick();
    void nominateButtonClick();
    void splitButtonClick();
    void deleteButtonClick(bool wholeBranch);
    void thicknessButtonPressed(bool up);
    void thicknessButtonReleased();
    void repeatThicknessStep();
    void refreshStatus();
    void toggleEditMode();
    void newType();
    void openType();
    void saveType();
    void saveTypeAs();
    void addToAnimation();
    void closeBuilder();
    void undo();
    void redo();

    // --- Canvas mouse (canvas coordinates) ---
    void canvasPress(QPoint pos);
    void canvasMove(QPoint pos, Modifiers mods);
    void canvasRelease();

    // --- State, for the main window and tests ---
    const Figure& figure() const { return m_builder.figure(); }
    const FigureType& workingType() const { return m_builder.type(); }
    int selectedSegment() const { return m_builder.selected(); }
    Mode mode() const;
    bool isModified() const { return m_modified; }
    bool editMode() const { return m_editMode; }
    QString fileName() const { return m_fileName; }
    QString statusText() const;
    const Bitmap& canvasBitmap() const { return m_bitmap; }
    const BuilderHistory& history() const { return m_undo; }
    BuilderCanvas* canvas() const { return m_canvas; }
    QLabel* statusLabel() const { return m_statusLabel; }
    QFrame* statusPanel() const { return m_statusPanel; }
    // The tool button with this hint (the thickness hint gives the upper button).
    QToolButton* button(PhraseType hint) const;
    QToolButton* thinnerButton() const { return m_downButton; }
    QAction* undoAction() const { return m_undoAction; }
    QAction* redoAction() const { return m_redoAction; }
    QAction* editModeAction() const { return m_editModeAction; }
    QMenu* fileMenu() const { return m_fileMenu; }
    QMenu* editMenu() const { return m_editMenu; }
    QTimer* upDownTimer() const { return m_upDownTimer; }
    QTimer* textTimer() const { return m_textTimer; }

    // Takes the captions and hints again after a language change.
    void retranslate();

Q_SIGNALS:
    void figureTypeAdded(int typeIndex);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createToolButtons();
    void createMenus();
    QToolButton* makeButton(QWidget* parent, int x, int y, int w, int h);
    void formResize();
    void clearCanvas();
    void toScreen();
    void drawHandlesOnCanvas();
    void setStatus(const QString& text);
    void startAddingSegment();
    void setMousePos(QPointF point);
    PointF canvasCentre() const;
    void finishEdit(PhraseType key);
    void applySegmentEdit(bool changed, PhraseType key);
    void tellSegmentLimit();
    void takeType(const FigureType& type, const QString& fileName);
    void leaveModes();
    void restoreState(const BuilderUndoState& state);
    void updateUndoCaptions();
    bool menusActive() const;
    bool askUnsaved();

    void pickStartAt(QPoint pos);
    void addSegmentAt(QPoint pos);
    void placeDuplicateAt(QPoint pos);
    void selectAt(QPoint pos);
    void previewNewSegment(QPoint pos);
    void previewDuplicate(QPoint pos);
    void dragTo(QPoint pos, Modifiers mods);

    Document& m_doc;
    FigureBuilder m_builder;
    Bitmap m_bitmap; // the off-screen canvas, 32-bit, the size of the canvas widget
    int m_grabbed = kNoHandle;
    QPoint m_lastMouse;
    bool m_dragging = false;
    bool m_moved = false;
    bool m_pickStart = false;
    bool m_drawSegment = false;
    bool m_placeDuplicate = false;
    int m_newStartJoint = 0;
    uint8_t m_newKind = skLine;
    PointF m_dupOffset;
    bool m_editMode = false;
    bool m_modified = false;
    int m_repeatCounter = 0;
    bool m_repeatUp = true;
    QString m_fileName;
    BuilderHistory m_undo;
    std::function<QString(int)> m_nameAsker;

    BuilderCanvas* m_canvas = nullptr;
    QWidget* m_client = nullptr;
    QGroupBox* m_toolPanel = nullptr;
    QToolButton* m_circleButton = nullptr;
    QToolButton* m_lineButton = nullptr;
    QFrame* m_toolSeparator = nullptr;
    QToolButton* m_changeKindButton = nullptr;
    QToolButton* m_circleKindButton = nullptr;
    QToolButton* m_duplicateButton = nullptr;
    QToolButton* m_upButton = nullptr;
    QToolButton* m_downButton = nullptr;
    QToolButton* m_changeStaticButton = nullptr;
    QToolButton* m_nominateButton = nullptr;
    QToolButton* m_splitButton = nullptr;
    QToolButton* m_deleteButton = nullptr;
    QFrame* m_statusPanel = nullptr;
    QLabel* m_statusLabel = nullptr;
    QTimer* m_upDownTimer = nullptr;
    QTimer* m_textTimer = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QAction* m_newAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_saveAction = nullptr;
    QAction* m_saveAsAction = nullptr;
    QAction* m_addToAnimationAction = nullptr;
    QAction* m_closeAction = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    QAction* m_editModeAction = nullptr;
    NameForm* m_nameForm = nullptr;
};

} // namespace kelto
