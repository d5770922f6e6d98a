#pragma once

#include "builder/builderhistory.h"
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
class QPen;
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
    // Copies the figure's pose into the type's default angles, lengths and thicknesses.
    void storeFigTypeAttributes();
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
    void upDownButtonMouseDown(bool up);
    void upDownButtonMouseUp();
    void upDownTimerTimer();
    void textTimerTimer();
    void editMode1Click();
    void new1Click();
    void open1Click();
    void save1Click();
    void saveAs1Click();
    void addToAnimation1Click();
    void exit1Click();
    void undo1Click();
    void redo1Click();

    // --- Canvas mouse (canvas coordinates) ---
    void image1MouseDown(QPoint pos);
    void image1MouseMove(QPoint pos, Modifiers mods);
    void image1MouseUp();

    // --- State, for the main window and tests ---
    const Figure& figure() const { return m_figure; }
    const FigureType& workingType() const;
    int selectedSegment() const { return m_selected; }
    Mode mode() const;
    bool isModified() const { return m_modified; }
    bool editMode() const { return m_editMode; }
    QString fileName() const { return m_fileName; }
    QString statusText() const;
    const Bitmap& canvasBitmap() const { return m_bitmap; }
    const BuilderHistory& history() const { return m_undo; }
    BuilderCanvas* canvas() const { return m_canvas; }
    QLabel* statusLabel() const { return m_label1; }
    QFrame* statusPanel() const { return m_panel2; }
    // The tool button with this hint (the thickness hint gives the upper button).
    QToolButton* button(PhraseType hint) const;
    QToolButton* thinnerButton() const { return m_downButton; }
    QAction* undoAction() const { return m_undo1; }
    QAction* redoAction() const { return m_redo1; }
    QAction* editModeAction() const { return m_editMode1; }
    QMenu* fileMenu() const { return m_file1; }
    QMenu* editMenu() const { return m_edit1; }
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
    FigureType& type();
    void createControls();
    void createMenus();
    QToolButton* makeButton(QWidget* parent, int x, int y, int w, int h);
    void formResize();
    void clearCanvas();
    void toScreen();
    void drawGeneralSegment(QPointF from, QPointF to, bool toScreen, bool isCircle,
                            const QPen& pen);
    void drawHandlesOnCanvas();
    void startAddingSegment();
    void setMousePos(QPointF point);
    void rebuildFigure(PointF root);
    void recompute();
    void finishEdit(PhraseType key);
    void leaveModes();
    void restoreState(const BuilderUndoState& state);
    void updateUndoCaptions();
    bool menusActive() const;
    bool hasSelection() const;
    bool askUnsaved();
    float parentThickness(int joint) const;
    int startJointOfHit(int hit) const;

    void pickStartAt(QPoint pos);
    void addSegmentAt(QPoint pos);
    void placeDuplicateAt(QPoint pos);
    void selectAt(QPoint pos);
    void previewNewSegment(QPoint pos);
    void previewDuplicate(QPoint pos);
    void dragTo(QPoint pos, Modifiers mods);
    void moveJointTo(int segment, QPoint pos);

    Document& m_doc;
    Figure m_figure;
    Bitmap m_bitmap; // the off-screen canvas, 32-bit, the size of the canvas widget
    uint8_t m_selected = 0;
    int16_t m_grabbed = kNoHandle;
    QPoint m_lastMouse;
    bool m_dragging = false;
    bool m_moved = false;
    bool m_pickStart = false;
    bool m_drawSegment = false;
    bool m_placeDuplicate = false;
    uint8_t m_newStartJoint = 0;
    uint8_t m_newKind = skLine;
    float m_dupOffsetX = 0;
    float m_dupOffsetY = 0;
    bool m_editMode = false;
    bool m_modified = false;
    uint8_t m_repeatCounter = 0;
    uint8_t m_repeatUp = 1;
    QString m_fileName;
    BuilderHistory m_undo;
    std::function<QString(int)> m_nameAsker;

    BuilderCanvas* m_canvas = nullptr;
    QWidget* m_client = nullptr;
    QGroupBox* m_panel1 = nullptr;
    QToolButton* m_circleButton = nullptr;
    QToolButton* m_lineButton = nullptr;
    QFrame* m_bevel1 = nullptr;
    QToolButton* m_changeKindButton = nullptr;
    QToolButton* m_circleKindButton = nullptr;
    QToolButton* m_duplicateButton = nullptr;
    QToolButton* m_upButton = nullptr;
    QToolButton* m_downButton = nullptr;
    QToolButton* m_changeStaticButton = nullptr;
    QToolButton* m_nominateButton = nullptr;
    QToolButton* m_splitButton = nullptr;
    QToolButton* m_deleteButton = nullptr;
    QFrame* m_panel2 = nullptr;
    QLabel* m_label1 = nullptr;
    QTimer* m_upDownTimer = nullptr;
    QTimer* m_textTimer = nullptr;
    QMenu* m_file1 = nullptr;
    QMenu* m_edit1 = nullptr;
    QAction* m_new1 = nullptr;
    QAction* m_open1 = nullptr;
    QAction* m_save1 = nullptr;
    QAction* m_saveAs1 = nullptr;
    QAction* m_addToAnimation1 = nullptr;
    QAction* m_exit1 = nullptr;
    QAction* m_undo1 = nullptr;
    QAction* m_redo1 = nullptr;
    QAction* m_editMode1 = nullptr;
    NameForm* m_nameForm = nullptr;
};

} // namespace kelto
