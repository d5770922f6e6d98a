#include "dialogs/exportcommand.h"

#include "dialogs/avioptionsform.h"
#include "dialogs/gifoptionsform.h"
#include "dialogs/imageoptionsform.h"
#include "dialogs/progressform.h"
#include "dialogs/prompter.h"
#include "document/document.h"
#include "document/kelformat.h"
#include "export/svgexport.h"
#include "settings/appsettings.h"
#include "settings/datafolders.h"
#include "settings/errorreporter.h"
#include "settings/multilang.h"

#include <QCursor>
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

// Whether the export would replace a file: the name as chosen, and for a GIF or a video also
// the one file it writes. A bare name gets the dialog's default extension, so without the
// second test an existing GIF or video would be replaced unasked. Numbered pictures are
// replaced without a question.
bool targetExists(const QString& chosen, const std::string& base, int kind) {
    if (QFileInfo::exists(chosen)) {
        return true;
    }
    if (kind == ExportCommand::SeparateImages) {
        return false;
    }
    const char* extension = kind == ExportCommand::Avi ? ".avi" : ".gif";
    return QFileInfo::exists(QString::fromStdString(base + extension));
}

QString startFolder() {
    return exportStartFolder(QString::fromStdString(appSettings().kelDir));
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
}

ExportCommand::~ExportCommand() {
    // Windows without a parent are ours; with one, the main window deletes them.
    if (m_mainWindow == nullptr) {
        delete m_avi.data();
        delete m_gif.data();
        delete m_image.data();
        delete m_progress.data();
    }
}

QString ExportCommand::dialogFilter() {
    return QStringLiteral("Gif (*.gif);;AVI Video (*.avi);;Separate Images (*.bmp *.jpg)");
}

void ExportCommand::applyLanguage() {
    m_progress->applyLanguage();
    m_image->applyLanguage();
    m_gif->applyLanguage();
    m_avi->applyLanguage();
}

void ExportCommand::exportAnimation(const Document& doc, int frameInterval,
                                    const std::function<void()>& stopPlayback) {
    guarded("Export1Click", [&] {
        if (doc.frameCount() == 0) {
            prompter().tell(getPhrase(PhraseType::MNoFrames));
            return;
        }
        if (stopPlayback) {
            stopPlayback();
        }
        int kind = Gif;
        // No name: every export starts with an empty name.
        const QString chosen =
            prompter().saveFileName(plainCaption(PhraseType::MFExport), startFolder(),
                                    dialogFilter(), QStringLiteral("kel"), &kind);
        if (chosen.isEmpty()) {
            return;
        }
        const std::string base = removeExtension(chosen.toStdString());
        if (targetExists(chosen, base, kind) &&
            prompter().ask(getPhrase(PhraseType::ReplaceFile)) != Answer::Yes) {
            return;
        }
        BusyCursor busy(m_mainWindow);
        ExportJob job{&doc, base, frameInterval};
        m_progress->clearCancel();
        ExportOptionsForm* form = kind == Avi ? static_cast<ExportOptionsForm*>(m_avi)
                                  : kind == SeparateImages
                                      ? static_cast<ExportOptionsForm*>(m_image)
                                      : static_cast<ExportOptionsForm*>(m_gif);
        form->setJob(job);
        form->exec();
        // The document may change after this; the window must not keep pointing at it.
        form->setJob({});
    });
}

QString saveSvgCommand(const Document& doc, const Figures& editFigures, int editFrameIndex,
                       SvgOnions onions, bool withHandles) {
    QString written;
    guarded(withHandles ? "SVG1Click" : "SVGnohandles1Click", [&] {
        const QString name =
            prompter().saveFileName(QStringLiteral("SVG"), startFolder(),
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
