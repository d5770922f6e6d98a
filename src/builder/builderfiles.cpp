#include "builder/buildercanvas.h"
#include "builder/figurebuilderform.h"
#include "builder/nameform.h"
#include "dialogs/prompter.h"
#include "document/document.h"
#include "document/filenames.h"
#include "document/stkformat.h"
#include "report/errorreporter.h"
#include "settings/appsettings.h"
#include "settings/datafolders.h"
#include "settings/multilang.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

// The builder's files: starting over, opening and saving .stk files, and handing a finished
// type to the animation.

namespace kelto {

PointF FigureBuilderForm::canvasCentre() const {
    return {double(m_canvas->width() / 2), double(m_canvas->height() / 2)};
}

bool FigureBuilderForm::askUnsaved() {
    return !m_modified || prompter().ask(getPhrase(PhraseType::BFigUnsaved)) == Answer::Yes;
}

// ---------------------------------------------------------------------------------------------
// Starting over

void FigureBuilderForm::initialize() {
    guarded("Builder.Initialize", [this] {
        m_grabbed = kNoHandle;
        leaveModes();
        enableSelectedSegmentButtons(true);
        m_editMode = m_editModeAction->isChecked();
        m_fileName.clear();
        m_builder.startNew(canvasCentre());
        clearCanvas();
        drawFigure(true, true);
        initUndo();
        displaySegmentData();
        m_dragging = false;
        m_modified = false;
        m_moved = false;
    });
}

// Makes type the working type, drawn at the canvas centre, with the gestures and modes of the
// previous one ended.
void FigureBuilderForm::takeType(const FigureType& type, const QString& fileName) {
    m_upDownTimer->stop();
    m_textTimer->stop();
    m_dragging = false;
    m_moved = false;
    m_grabbed = kNoHandle;
    leaveModes();
    m_fileName = fileName;
    clearCanvas();
    m_builder.load(type, canvasCentre());
    displaySegmentData();
    drawFigure(true, true);
    m_modified = false;
}

void FigureBuilderForm::editFigureType(const FigureType& source) {
    guarded("Builder.EditFigureType", [this, &source] {
        if (source.segmentCount() == 0) {
            return; // nothing to draw; keep what the builder holds
        }
        takeType(source, QString());
        initUndo();
    });
    showBuilder();
}

void FigureBuilderForm::openFromCommandLine(const QString& path) {
    showBuilder();
    openFigure(path);
}

// ---------------------------------------------------------------------------------------------
// Files

void FigureBuilderForm::newType() {
    if (!menusActive() || !askUnsaved()) {
        return;
    }
    initialize();
}

void FigureBuilderForm::openType() {
    guarded("Builder.OpenType", [this] {
        if (!menusActive() || !askUnsaved()) {
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
        if (loaded.segmentCount() == 0) {
            return;
        }
        takeType(loaded, fileName);
        assignUndo(PhraseType::BUndoOpen);
        opened = true;
    });
    return opened;
}

void FigureBuilderForm::saveType() {
    guarded("Builder.SaveType", [this] {
        if (!menusActive()) {
            return;
        }
        if (m_fileName.isEmpty()) {
            saveTypeAs();
            return;
        }
        if (saveFigureTypeAs(m_fileName, false)) {
            m_modified = false;
        }
    });
}

void FigureBuilderForm::saveTypeAs() {
    guarded("Builder.SaveTypeAs", [this] {
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
        m_builder.storePose();
        const std::string path = QFile::encodeName(fileName).toStdString();
        if (v2) {
            changed = saveStkFileV2(m_builder.type(), path);
        } else {
            saveStkFile(m_builder.type(), path);
        }
    });
    if (saved && changed) {
        prompter().tell(getPhrase(PhraseType::BKelto2StkConv));
    }
    return saved;
}

void FigureBuilderForm::closeBuilder() {
    if (!menusActive()) {
        return;
    }
    hide();
}

// ---------------------------------------------------------------------------------------------
// Hand-over

void FigureBuilderForm::addToAnimation() {
    guarded("Builder.AddToAnimation", [this] {
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
        FigureType copy;
        copy.assign(m_builder.finishedType());
        const int index = m_doc.addFigureType(std::move(copy), stored);
        Q_EMIT figureTypeAdded(index);
        m_modified = false;
        hide();
    });
}

} // namespace kelto
