#pragma once

#include "document/document.h"
#include "document/editsession.h"
#include "document/recoveryfile.h"
#include "editor/canvasediting.h"
#include "editor/scene.h"
#include "editor/timeline.h"
#include "model/figures.h"

#include <QMainWindow>
#include <QPointF>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class QDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPoint;
class QPushButton;
class QRubberBand;
class QScrollArea;
class QScrollBar;
class QSpinBox;
class QTimer;
class QUrl;
class QToolButton;
class QWheelEvent;

namespace kelto {

class AboutBox;
class BackgroundPicker;
class ExportCommand;
class Canvas;
class FigureBuilderForm;
class FigurePicker;
class FrameClipboard;
class LanguageDialog;
class OnionMenu;
class OptionsDialog;
class RecentMenu;

// The editor window. It owns the one document, the figures being edited on the canvas and the
// scene that draws them. Commands are slots named after their control; those whose behaviour
// lives in the canvas-editing, frame, playback, undo, file-picture and export work are the
// seams where that work plugs in.
class MainWindow : public QMainWindow, public DocumentObserver {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    Document& document() { return m_doc; }
    Figures& editFigures() { return edit(); }
    int editFrameIndex() const { return m_session.editFrameIndex(); }
    EditSession& session() { return m_session; }
    Scene& scene() { return m_scene; }
    Canvas* canvas() const { return m_canvas; }
    QScrollArea* editingScrollBox() const { return m_scrollBox; }
    OptionsDialog* optionsDialog() const { return m_options; }
    FigureBuilderForm* figureBuilder() const { return m_builder; }
    ExportCommand& exportCommand() const { return *m_export; }
    LanguageDialog* languageDialog() const { return m_language; }
    FigurePicker* figurePicker() const { return m_figurePicker; }
    BackgroundPicker* backgroundPicker() const { return m_backgroundPicker; }
    QLabel* frameLabel() const { return m_frameLabel; }
    QPushButton* nextFrameButton() const { return m_nextFrameButton; }
    QAction* action(const QString& objectName) const;
    int supersampleFactor() const { return m_supersampleFactor; }
    bool firstActivationPending() const { return m_firstActivation; }

    // The file named on the command line, handled at the first activation.
    void setCommandLine(const QString& argument) { m_commandLine = argument; }
    // How modal dialogs are run; tests answer them without blocking.
    void setDialogRunner(std::function<int(QDialog&)> runner) { m_runDialog = std::move(runner); }
    // How files and pages are handed to the desktop (the ReadMe, the help); tests record them.
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { m_openUrl = std::move(opener); }
    // Where the shipped files (read-me, manual) are looked up from; empty: the executable's
    // folder. Tests lay out an installed program in a temporary folder.
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }

    // Start-up and document lifetime.
    void formActivate();
    void newProject();
    // Asks whether to save unsaved work; false when the user cancelled or the save did not
    // happen, and the document must then stay.
    bool offerToSave(bool allowCancel);
    // Empties the document (the caller has offered to save).
    void destroyProject();
    void formResize();
    void setEditingArea();
    void setSavedState(bool saved);
    // The busy cursor (Qt::WaitCursor) around long operations, shown at once.
    void setCursor(Qt::CursorShape cursor);
    void applyLanguage();
    void setAnimationDimensions(int width, int height);
    // Asks whether to save the current project; Yes saves. Returns false when cancelled.
    bool saveProjectAsKel(bool allowCancel);
    void loadProject(const QString& path);
    // Work brought back from a recovery file replaces the document; it stays unsaved.
    void restoreRecoveredWork(RecoveredWork work);
    // The animation file parsed into a document of its own; nullopt (reported) when unreadable.
    std::optional<Document> readAnimationFile(const QString& path);
    // The edited frame back into its stored frame.
    void storeEditedFrame();
    void addFigure(int typeIndex);
    void setFrameBackground(int slot);
    void revealHiddenItems();
    // Opens a figure-type file in the figure builder.
    void openInFigureBuilder(const QString& path);

    // The file commands without their dialogs, for the recent-files menu and dropped files.
    // An animation stops playback and opens with the save question; figure-type files join
    // the types (as many as there is room for); a picture becomes the frame's background.
    void openAnimationFile(const QString& path);
    void loadFigureFiles(QStringList paths);
    void loadBackgroundFile(const QString& path);
    // Files dropped on the window, as their kinds say (see filedrop.h).
    void openDroppedFiles(const QStringList& paths);
    // The onion-skin settings from the View menu; the Options dialog shows them too.
    void applyOnions(int count, bool ahead);
    RecentMenu* recentMenu() const { return m_recentMenu; }
    OnionMenu* onionMenu() const { return m_onionMenu; }

    // Seams of the canvas-editing, frames, playback and undo work, called where they belong.
    // Fill the figure controls from the selection; runs findOnions (selection changes).
    void setFigureControls();
    void enableFigureControls(bool on);
    void setSelectedFrameCount(int count);
    void positionFrameBevels();
    void recomputeThumbnailSlots();
    void initUndo();
    // Pastes the frames on the clipboard so that the first lands at position.
    void pasteFramesAt(int position);
    void formKeyDown(QKeyEvent* event);
    void formKeyUp(QKeyEvent* event);

    // Scene operations over the current document.
    void drawFigures();
    void reDrawFigure(int figure, const Rect& oldBounds);
    void findOnions();
    bool isPlaying() const;

    // Frames and the timeline.
    void storeEditedFrame(bool clearSelection, bool applyToSelected);
    void setEditFrame(int index);
    void selectFrame(int index, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // The frame a pop-up menu command works on (the thumbnail it was opened on).
    void setPopupFrame(int frame) { m_popupFrame = frame; }
    const FrameSelection& frameSelection() const { return m_frameSelection; }
    Timeline& timeline();
    QTimer* playTimer() const { return m_playTimer; }
    int playPosition() const { return m_session.playPosition(); }

    void documentChanged(DocumentChange change, int index) override;

    // The canvas view (mainwindowview.cpp): zoom and pan never touch the document.
    double zoom() const { return m_zoom; }
    // Zooms (clamped to 10..800 %) keeping the animation point under viewport position
    // `pointer` where it is; setZoom keeps the point in the middle of the box.
    void setZoomAt(double zoom, QPointF pointer);
    void setZoom(double zoom);
    QLabel* zoomLabel() const { return m_zoomLabel; }
    // A canvas pixel in animation coordinates, for the current view.
    PointF animationPoint(QPoint canvasPos) const;
    // Handle sizes and zoom for the model's hit tests.
    HandleView handleView() const;

public Q_SLOTS:
    // File menu.
    void newAnimation();
    void chooseAnimationToOpen();
    void saveDocument();
    void saveDocumentAs();
    void exportToFile();
    void chooseBackground();
    void chooseSpriteImage();
    void chooseFigureTypes();
    void openFigureBuilder();
    void quitEditor();
    void exportSvg();
    void exportSvgWithoutHandles();
    void deleteFiguresOutsideArea();
    // Edit and help menus.
    void undoStep();
    void redoStep();
    void selectAllFigures();
    void showOptions();
    void showHelp();
    void showReadMe();
    void showAbout();
    // Timeline pop-up menu.
    void insertNewFrame();
    void pasteInsert();
    void deleteFrames();
    void saveSelectedFramesAs();
    // Frame menu and timeline pop-up menu (mainwindowinbetweens.cpp).
    void openInbetweensDialog();
    // Tool panel.
    void playButtonClick();
    void stopButtonClick();
    void advancePlayback();
    void rateScrollBarChange(int value);
    void backgroundButtonClick();
    void addFigureButtonClick();
    void deleteFigureButtonClick();
    void editTypeButtonClick();
    void centerButtonClick();
    void flipButtonClick();
    void colorButtonClick();
    void frontButtonClick();
    void backButtonClick();
    void duplicateButtonClick();
    void joinButtonClick();
    void transScrollBarChange(int value);
    void scaleSpinEditChange();
    void nextFrameButtonClick();
    // Frame panel and timeline.
    void copySelFrameButtonClick();
    void pasteFrameButtonClick();
    void deleteSelFrameButtonClick();
    void tlScrollBarChange(int value);
    // View menu.
    void zoomIn();
    void zoomOut();
    void zoomToActualSize();
    void zoomToFit();
    // Canvas input.
    void editPaintBoxMouseDown(QMouseEvent* event);
    void editPaintBoxMouseMove(QMouseEvent* event);
    void editPaintBoxMouseUp(QMouseEvent* event);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Opens a file the program ships in the desktop's viewer; says so when none can be started.
    void showShippedFile(const QString& path);
    void buildPanels();
    void buildMenus();
    QAction* addCommand(QMenu* menu, const char* name, void (MainWindow::*slot)(),
                        const QKeySequence& shortcut = {});
    QToolButton* figureButton(const char* name, int icon, void (MainWindow::*slot)());
    void layoutPanels();
    void setFrameLabel();
    void saveAnimationTo(const QString& path);
    // The title, the status line and the recent files (shellcommands.cpp).
    void buildViewMenu();
    void applyShellLanguage();
    void refreshTitle(bool saved);
    void showStatus(const QString& message);
    void noteRecentFile(const QString& path);
    void openRecentFile(const QString& path);
    void clearRecentFiles();
    void fillPickers();
    SceneContent sceneContent() const;
    int runDialog(QDialog& dialog);
    // Canvas editing.
    void endDrag();
    void assignUndo(PhraseType action);
    void showUndoCaptions();
    void afterHistoryStep();
    void followPointerWithSelectBox();
    void stretchSelectBox(const QPoint& cursor);
    void setScaleEditFromScale(double scale);
    void showOpacity(int transparency);
    void deleteFigureType(int typeIndex);
    bool figureTypeInUse(int typeIndex) const;
    // Canvas view.
    void addZoomCommands(); // to the View menu
    void applyViewLanguage();
    void setUpCanvasView();
    void updateVisibleWindow();
    Rect visibleCanvasRect() const;
    void refreshCanvasView();
    bool canvasZoomWheel(QWheelEvent* event);
    bool canvasPanEvent(QEvent* event);
    double m_zoom = 1.0;
    QLabel* m_zoomLabel = nullptr;
    bool m_panning = false;
    QPointF m_panLast;
    int m_wheelRest = 0;        // wheel turns not yet a whole zoom step
    bool m_settingView = false; // scroll bar changes of a zoom are applied once, at the end

    // The session owns the document and the frame being edited; the window shows them.
    EditSession m_session;
    Document& m_doc = m_session.document();
    Figures& edit() { return m_session.editFrame(); }
    const Figures& edit() const { return m_session.editFrame(); }
    // A change outside the history (pictures loaded, size, rate) keeps the unsaved mark.
    bool m_changedOutsideHistory = false;
    void refreshSavedMark();
    // Redraws the frame panel, timeline and canvas after the session changed frames.
    void showSessionFrame();
    // Canvas editing: the gesture in progress, the arrow-key move and the undo history.
    CanvasDrag m_drag;
    bool m_keyMoved = false;
    int m_lastEnable = -1;
    QRubberBand* m_selectBox = nullptr;
    QTimer* m_selectBoxTimer = nullptr;
    Scene m_scene;
    int m_supersampleFactor = 1;
    bool m_firstActivation = true;
    bool m_activating = false;
    bool m_hiddenRevealed = false;
    QString m_commandLine;
    std::function<int(QDialog&)> m_runDialog;
    std::function<bool(const QUrl&)> m_openUrl;
    QString m_programFolder;

    QWidget* m_client = nullptr;
    QFrame* m_framePanel = nullptr;
    QLabel* m_frameLabel = nullptr;
    QLabel* m_repeatLabel = nullptr;
    QSpinBox* m_repeatSpinEdit = nullptr;
    QToolButton* m_deleteSelFrameButton = nullptr;
    QToolButton* m_copySelFrameButton = nullptr;
    QToolButton* m_pasteFrameButton = nullptr;
    QFrame* m_tlPanel = nullptr;
    QScrollBar* m_tlScrollBar = nullptr;
    QFrame* m_selFigPanel = nullptr;
    QGroupBox* m_playGroup = nullptr;
    QPushButton* m_playButton = nullptr;
    QPushButton* m_stopButton = nullptr;
    QCheckBox* m_repeatCheckBox = nullptr;
    QScrollBar* m_rateScrollBar = nullptr;
    QLabel* m_fpsLabel = nullptr;
    QPushButton* m_backgroundButton = nullptr;
    QPushButton* m_addFigureButton = nullptr;
    QGroupBox* m_selectedGroup = nullptr;
    QToolButton* m_deleteFigureButton = nullptr;
    QToolButton* m_editTypeButton = nullptr;
    QToolButton* m_centerButton = nullptr;
    QToolButton* m_flipButton = nullptr;
    QToolButton* m_frontButton = nullptr;
    QToolButton* m_backButton = nullptr;
    QToolButton* m_colorButton = nullptr;
    QToolButton* m_duplicateButton = nullptr;
    QToolButton* m_joinButton = nullptr;
    QScrollBar* m_transScrollBar = nullptr;
    QSpinBox* m_scaleSpinEdit = nullptr;
    QPushButton* m_nextFrameButton = nullptr;
    QScrollArea* m_scrollBox = nullptr;
    Canvas* m_canvas = nullptr;
    QTimer* m_playTimer = nullptr;

    QMenu* m_fileMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_helpMenu = nullptr;
    QMenu* m_frameMenu = nullptr;
    QMenu* m_timelineMenu = nullptr;
    RecentMenu* m_recentMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    OnionMenu* m_onionMenu = nullptr;

    AboutBox* m_about = nullptr;
    std::unique_ptr<ExportCommand> m_export; // the progress window and the export options
    OptionsDialog* m_options = nullptr;
    FigureBuilderForm* m_builder = nullptr;
    LanguageDialog* m_language = nullptr;
    FigurePicker* m_figurePicker = nullptr;
    BackgroundPicker* m_backgroundPicker = nullptr;

    // Frames, timeline and playback.
    void connectTimelineGestures(Timeline& tl);
    void scrubToFrame(int frame);
    void moveSelectedFrames(int position);
    void enableControlsPlaying(bool on);
    bool frameStepKey(QKeyEvent* event);
    Timeline* m_timeline = nullptr;
    FrameSelection m_frameSelection;
    FrameClipboard* m_clipboard = nullptr;
    int m_popupFrame = 0;
    // In-betweens: the two key frames the command works on, and the ghost of the middle
    // in-between shown while its dialog is open.
    std::optional<std::pair<int, int>> inbetweenKeyFrames() const;
    std::optional<Figures> m_inbetweenPreview;
};

} // namespace kelto
