#include "dialogs/exportcommand.h"

#include "dialogs/avioptionsform.h"
#include "dialogs/gifoptionsform.h"
#include "dialogs/imageoptionsform.h"
#include "dialogs/progressform.h"
#include "dialogs/prompter.h"
#include "document/document.h"
#include "document/kelformat.h"
#include "export/exportcheck.h"
#include "export/svgexport.h"
#include "export/videowriter.h"
#include "settings/appsettings.h"
#include "settings/datafolders.h"
#include "settings/errorreporter.h"
#include "settings/multilang.h"

#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QWidget>

namespace kelto {

namespace {

// The main window shows the busy cursor while the export command runs.
class BusyCursor {
public:
    explicit BusyCursor(QWidget* window) : m_window(window) {
        if (m_window) {
            m_hadCursor = m_window->testAttribute(Qt::WA_SetCursor);
            m_old = m_window->cursor();
            m_window->setCursor(Qt::WaitCursor);
            m_window->repaint();
        }
    }
    ~BusyCursor() {
        if (!m_window) {
            return;
        }
        if (m_hadCursor) {
            m_window->setCursor(m_old);
        } else {
            m_window->unsetCursor();
        }
    }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    QPointer<QWidget> m_window;
    QCursor m_old;
    bool m_hadCursor = false;
};

VideoFormat videoFormatOf(int kind) {
    switch (kind) {
    case ExportCommand::WebM:
        return VideoFormat::WebM;
    case ExportCommand::Apng:
        return VideoFormat::Apng;
    case ExportCommand::WebP:
        return VideoFormat::WebP;
    default:
        return VideoFormat::Mp4;
    }
}

bool isVideo(int kind) {
    return kind >= ExportCommand::Mp4 && kind <= ExportCommand::WebP;
}

// Whether the chosen name is itself one of the files written: its extension names the kind
// whatever filter is chosen. Not so for a name that takes the kind from the filter, such as
// "walk.kel" that the dialog makes of the animation's own name "walk".
bool chosenNameIsWritten(const QString& chosen, int kind) {
    return ExportCommand::kindForName(chosen, ExportCommand::Gif) == kind &&
           ExportCommand::kindForName(chosen, ExportCommand::Avi) == kind;
}

// Whether the export would replace a file: the name as chosen, and for a GIF or a video also
// the one file it writes. A bare name gets the dialog's default extension, so without the
// second test an existing GIF or video would be replaced unasked. Numbered pictures are
// replaced without a question.
bool targetExists(const QString& chosen, const std::string& base, int kind) {
    if (QFileInfo::exists(chosen) && chosenNameIsWritten(chosen, kind)) {
        return true;
    }
    if (kind == ExportCommand::SeparateImages) {
        return false;
    }
    if (kind == ExportCommand::SpriteSheet) {
        return QFileInfo::exists(QString::fromStdString(base + ".png")) ||
               QFileInfo::exists(QString::fromStdString(base + ".json"));
    }
    const char* extension = kind == ExportCommand::Avi ? ".avi"
                            : isVideo(kind)            ? videoExtension(videoFormatOf(kind))
                                                       : ".gif";
    return QFileInfo::exists(QString::fromStdString(base + extension));
}

// "Exported 32 frames to walk.gif (35.2 kB)", for a sprite sheet its picture and its
// description, or for pictures the count and the first and last name.
QString writtenLine(const ExportResult& result, bool sheet) {
    if (result.files.empty()) {
        return {};
    }
    const QString frames = QString::number(result.framesDone);
    const QString first = QFileInfo(QString::fromStdString(result.files.front())).fileName();
    const QString last = QFileInfo(QString::fromStdString(result.files.back())).fileName();
    if (result.files.size() == 1 || sheet) {
        const qint64 bytes = QFileInfo(QString::fromStdString(result.files.front())).size();
        const QString named =
            first + " (" + QString::fromStdString(humanBytes(uint64_t(bytes))) + ")";
        if (sheet && result.files.size() == 2) {
            // The picture and the description beside it.
            return getPhrase(PhraseType::ExExportedTwo).arg(frames, named, last);
        }
        return getPhrase(PhraseType::ExExported).arg(frames, named);
    }
    return getPhrase(PhraseType::ExExportedFiles)
        .arg(frames, QString::number(result.files.size()), first, last);
}

QString startFolder() {
    return exportStartFolder(QString::fromStdString(appSettings().kelDir));
}

// Where an export dialog starts: the animation's own name and folder once it has a file.
QString startName(const Document& doc, const QString& extension = {}) {
    return documentSaveStart(QFile::decodeName(doc.currentFileName.c_str()), extension,
                             startFolder());
}

QString plainCaption(PhraseType phrase) {
    return getPhrase(phrase).remove(u'&');
}

} // namespace

ExportCommand::ExportCommand(QWidget* mainWindow) : m_mainWindow(mainWindow) {
    m_progress = new ProgressForm(mainWindow);
    m_image = new ImageOptionsForm(*m_progress, mainWindow);
    m_gif = new GifOptionsForm(*m_progress, mainWindow);
    m_avi = new AviOptionsForm(*m_progress, mainWindow);
    m_video = new VideoOptionsForm(*m_progress, mainWindow);
    m_sheet = new SheetOptionsForm(*m_progress, mainWindow);
}

ExportCommand::~ExportCommand() {
    // Windows without a parent are ours; with one, the main window deletes them.
    if (m_mainWindow == nullptr) {
        delete m_sheet.data();
        delete m_video.data();
        delete m_avi.data();
        delete m_gif.data();
        delete m_image.data();
        delete m_progress.data();
    }
}

QString ExportCommand::dialogFilter() {
    return QStringLiteral("Gif (*.gif);;AVI Video (*.avi);;Separate Images (*.png *.jpg *.bmp)") +
           ";;" + videoFormatLabel(VideoFormat::Mp4) + " (*.mp4);;" +
           videoFormatLabel(VideoFormat::WebM) + " (*.webm);;" +
           videoFormatLabel(VideoFormat::Apng) + " (*.apng);;" +
           videoFormatLabel(VideoFormat::WebP) + " (*.webp);;" + getPhrase(PhraseType::ExSheet) +
           " (*.png)";
}

ExportCommand::Kind ExportCommand::kindForName(const QString& name, int filterKind) {
    const QString extension = QFileInfo(name).suffix().toLower();
    if (filterKind == SpriteSheet && (extension == "png" || extension == "json")) {
        return SpriteSheet;
    }
    if (extension == "gif") {
        return Gif;
    }
    if (extension == "avi") {
        return Avi;
    }
    if (extension == "png" || extension == "jpg" || extension == "jpeg" || extension == "bmp") {
        return SeparateImages;
    }
    if (const auto video = videoFormatForExtension("." + extension.toStdString())) {
        return Kind(Mp4 + int(*video));
    }
    return filterKind >= Gif && filterKind <= SpriteSheet ? Kind(filterKind) : Gif;
}

void ExportCommand::applyLanguage() {
    m_progress->applyLanguage();
    m_image->applyLanguage();
    m_gif->applyLanguage();
    m_avi->applyLanguage();
    m_video->applyLanguage();
    m_sheet->applyLanguage();
}

QString ExportCommand::exportAnimation(const Document& doc, int frameInterval,
                                       const std::function<void()>& stopPlayback) {
    QString written;
    guarded("Export1Click", [&] {
        if (doc.frameCount() == 0) {
            prompter().tell(getPhrase(PhraseType::MNoFrames));
            return;
        }
        if (stopPlayback) {
            stopPlayback();
        }
        int filter = Gif;
        // The animation's own name without an extension: the chosen filter supplies it.
        const QString chosen =
            prompter().saveFileName(plainCaption(PhraseType::MFExport), startName(doc),
                                    dialogFilter(), QStringLiteral("kel"), &filter);
        if (chosen.isEmpty()) {
            return;
        }
        const Kind kind = kindForName(chosen, filter);
        if (isVideo(kind)) {
            // Said before anything else is asked or any file is made.
            try {
                requireVideoEncoder(videoFormatOf(kind));
            } catch (const KeltoError& e) {
                prompter().tell(QString::fromStdString(e.what()));
                return;
            }
        }
        const std::string base = removeExtension(chosen.toStdString());
        if (targetExists(chosen, base, kind) &&
            prompter().ask(getPhrase(PhraseType::ReplaceFile)) != Answer::Yes) {
            return;
        }
        BusyCursor busy(m_mainWindow);
        ExportJob job{&doc, base, frameInterval};
        m_progress->clearCancel();
        ExportOptionsForm* form = m_gif;
        if (kind == Avi) {
            form = m_avi;
        } else if (kind == SeparateImages) {
            // A typed .png or .jpg chooses the picture format; .bmp keeps the last choice.
            const QString extension = QFileInfo(chosen).suffix().toLower();
            if (extension == "png") {
                m_image->chooseFormat(ImageFormat::Png);
            } else if (extension == "jpg" || extension == "jpeg") {
                m_image->chooseFormat(ImageFormat::Jpeg);
            }
            form = m_image;
        } else if (kind == SpriteSheet) {
            form = m_sheet;
        } else if (isVideo(kind)) {
            m_video->setFormat(videoFormatOf(kind));
            form = m_video;
        }
        form->setJob(job);
        if (form->exec() == QDialog::Accepted) {
            written = writtenLine(form->lastResult(), kind == SpriteSheet);
        }
        // The document may change after this; the window must not keep pointing at it.
        form->setJob({});
    });
    return written;
}

QString saveSvgCommand(const Document& doc, const Figures& editFigures, int editFrameIndex,
                       SvgOnions onions, bool withHandles) {
    QString written;
    guarded(withHandles ? "SVG1Click" : "SVGnohandles1Click", [&] {
        const QString name =
            prompter().saveFileName(QStringLiteral("SVG"), startName(doc),
                                    QStringLiteral(" SVG (*.svg)"), QStringLiteral("svg"));
        if (name.isEmpty()) {
            return;
        }
        SvgScene scene;
        scene.edit = &editFigures;
        scene.types = &doc.figureTypes();
        scene.frames = &doc.frames;
        scene.editFrameIndex = editFrameIndex;
        scene.animWidth = doc.animWidth();
        scene.animHeight = doc.animHeight();
        scene.numOnion = onions.numOnion;
        scene.onionAhead = onions.onionAhead;
        saveSvg(name, scene, withHandles);
        written = name;
    });
    return written;
}

} // namespace kelto
