#pragma once

#include "dialogs/avioptionsform.h"
#include "dialogs/gifoptionsform.h"
#include "dialogs/imageoptionsform.h"
#include "dialogs/progressform.h"
#include "dialogs/sheetoptionsform.h"
#include "dialogs/videooptionsform.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace kelto {

class Document;
class Figures;

// "Export Animation": asks for the target, then runs the options window of the chosen kind,
// whose OK button renders and writes the frames with a progress window and Cancel. The windows
// are made once and keep their values between exports.
class ExportCommand {
public:
    // Filter indexes of the export dialog.
    enum Kind {
        Gif = 0,
        Avi = 1,
        SeparateImages = 2,
        Mp4 = 3,
        WebM = 4,
        Apng = 5,
        WebP = 6,
        SpriteSheet = 7
    };

    // What a chosen name exports: its extension decides (frames.png is a picture sequence,
    // walk.mp4 a video); a name without a known extension follows the chosen filter. A sprite
    // sheet is a .png too, so it is the one kind chosen by its filter: with that filter a .png
    // name (or one without a known extension) writes NAME.png and NAME.json.
    static Kind kindForName(const QString& name, int filterKind);

    // The windows belong to mainWindow; without one (tests) to a hidden widget of this object.
    explicit ExportCommand(QWidget* mainWindow);
    ~ExportCommand();
    ExportCommand(const ExportCommand&) = delete;
    ExportCommand& operator=(const ExportCommand&) = delete;

    // The whole command. frameInterval: the playback milliseconds per frame period;
    // stopPlayback is called first when given (it should do nothing while playback is off).
    // Returns a short line saying what was written ("Written: walk.mp4 (35.2 kB)"), empty
    // when nothing was.
    QString exportAnimation(const Document& doc, int frameInterval,
                            const std::function<void()>& stopPlayback = {});

    // Every caption through the phrase table; called when the language changes.
    void applyLanguage();

    // The export dialog's filters in Qt's form.
    static QString dialogFilter();

    ProgressForm& progressForm() const { return *m_progress; }
    ImageOptionsForm& imageOptions() const { return *m_image; }
    GifOptionsForm& gifOptions() const { return *m_gif; }
    AviOptionsForm& aviOptions() const { return *m_avi; }
    VideoOptionsForm& videoOptions() const { return *m_video; }
    SheetOptionsForm& sheetOptions() const { return *m_sheet; }

private:
    QWidget* m_mainWindow;
    // Parent of the windows when there is no main window (tests).
    std::unique_ptr<QWidget> m_ownHost;
    QPointer<ProgressForm> m_progress;
    QPointer<ImageOptionsForm> m_image;
    QPointer<GifOptionsForm> m_gif;
    QPointer<AviOptionsForm> m_avi;
    QPointer<VideoOptionsForm> m_video;
    QPointer<SheetOptionsForm> m_sheet;
};

// The onion-skin settings the SVG export draws ghosts with.
struct SvgOnions {
    int numOnion = 0;
    bool onionAhead = false;
};

// "SVG handles" / "SVG no handles": asks for an .svg name and writes the edited frame with the
// onion skins of its selected figure. editFrameIndex -1 is the new frame after the stored ones.
// Errors are reported, never thrown. Returns the file written, empty when cancelled or failed.
QString saveSvgCommand(const Document& doc, const Figures& editFigures, int editFrameIndex,
                       SvgOnions onions, bool withHandles);

} // namespace kelto
