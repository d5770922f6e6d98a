// The main window's commands that bring pictures and figure-type files into the document, and
// the choice of a frame's background.
#include "dialogs/prompter.h"
#include "document/animationsize.h"
#include "document/filenames.h"
#include "document/stkformat.h"
#include "editor/mainwindow.h"
#include "editor/userfiles.h"
#include "graphics/imagecodecs.h"
#include "graphics/imagegeneral.h"
#include "pickers/backgroundpicker.h"
#include "pickers/imageselector.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace kelto {

namespace {

QString lowerSuffix(const QString& path) {
    return QFileInfo(path).suffix().toLower();
}

QString stkFilter() {
    return getPhrase(PhraseType::MStkFile) + QStringLiteral(" (*.stk)");
}

QString spriteFilter() {
    return QStringLiteral("Bitmap, GIF or PNG Image (*.bmp *.gif *.png);;"
                          "Bitmap Image (*.bmp);;GIF Image (*.gif);;PNG Image (*.png)");
}

QString backgroundFilter() {
    return QStringLiteral("Bitmap, JPEG, GIF or PNG (*.bmp *.jpg *.jpeg *.gif *.png);;"
                          "Bitmap Image (*.bmp);;JPEG Image (*.jpg *.jpeg);;GIF Image (*.gif);;"
                          "PNG Image (*.png)");
}

// One picture from the open dialog with its preview; empty when cancelled or when the chosen
// file does not exist (said to the user).
QString choosePictureFile(const QString& filter) {
    const QStringList names =
        prompter().openFileNames(getPhrase(PhraseType::MFOpen), QString(), filter, false, true);
    if (names.isEmpty()) {
        return {};
    }
    if (!QFileInfo::exists(names[0])) {
        prompter().tell(getPhrase(PhraseType::MFileNotExist));
        return {};
    }
    return names[0];
}

// A figure type of one picture segment pointing right, as long as the picture is wide.
FigureType spriteType(const Bitmap& bitmap) {
    FigureType type;
    type.setImageCount(1);
    type.images[0].setFromBitmap(bitmap);
    type.setSegmentCount(1);
    type.imageRefs[0] = ImageRef{0, 0};
    Segment& seg = type.segments[0];
    seg.startJoint = 0;
    seg.endJoint = 1;
    seg.length = float(type.images[0].width());
    seg.angle = 0;
    seg.thickness = float(appSettings().maxHandleSize);
    seg.kind = skImage;
    seg.isStatic = 0;
    type.rebuildJoints();
    return type;
}

// Whether an empty animation may take a picture's size. A picture too large for an animation
// is said so up front instead of offering its size, and then covers the area as after No.
bool canAdoptPictureSize(const ImageGeneral& picture) {
    if (isAnimationSizeAllowed(picture.width(), picture.height())) {
        return true;
    }
    prompter().tell(getPhrase(PhraseType::MAnimSize));
    return false;
}

} // namespace

void MainWindow::chooseFigureTypes() {
    guarded("LoadFigureType", [this] {
        if (!m_doc.canAddFigureType()) {
            prompter().tell(getPhrase(PhraseType::NoMoreFigType));
            return;
        }
        stopButtonClick();
        const int typeCount = m_doc.figureTypeCount();
        QStringList names = prompter().openFileNames(getPhrase(PhraseType::MFOpen),
                                                     QString::fromStdString(appSettings().stkDir),
                                                     stkFilter(), true, true);
        // A preview may have left a scratch type behind the document's own.
        m_doc.removeFigureTypesFrom(typeCount);
        if (names.isEmpty()) {
            return;
        }
        appSettings().stkDir = QFileInfo(names[0]).absolutePath().toStdString() + "/";
        // The dialog lists the file clicked last first; the others came in their order.
        names.append(names.takeFirst());
        loadFigureFiles(names);
    });
}

void MainWindow::loadFigureFiles(QStringList names) {
    guarded("LoadFigureType", [&] {
        if (!m_doc.canAddFigureType()) {
            prompter().tell(getPhrase(PhraseType::NoMoreFigType));
            return;
        }
        stopButtonClick();
        const int room = kMaxFigureTypes - m_doc.figureTypeCount();
        if (names.size() > room) {
            names.resize(std::max(room, 0));
        }
        bool anyStk = false;
        for (const QString& path : names) {
            if (lowerSuffix(path) != QLatin1String("stk")) {
                continue;
            }
            anyStk = true;
            const std::string name = storableName(QFileInfo(path).completeBaseName().toStdString());
            const int existing = m_doc.findFigureType(name);
            if (existing >= 0) {
                addFigure(existing);
                continue;
            }
            // The file is read whole before the type joins the document, so a damaged file
            // leaves the list as it was.
            std::optional<FigureType> type =
                readUserFile(*this, [&] { return loadStkFile(localPath(path)); });
            if (!type) {
                continue;
            }
            const int index = m_doc.addFigureType(std::move(*type), name);
            addFigure(index);
        }
        if (!anyStk) {
            prompter().tell(getPhrase(PhraseType::MFileTypeWrong));
        }
    });
}

void MainWindow::chooseSpriteImage() {
    guarded("LoadSprite", [this] {
        if (!m_doc.canAddFigureType()) {
            prompter().tell(getPhrase(PhraseType::NoMoreFigType));
            return;
        }
        stopButtonClick();
        const QString path = choosePictureFile(spriteFilter());
        if (path.isEmpty()) {
            return;
        }
        const std::string name = storableName(QFileInfo(path).completeBaseName().toStdString());
        const int existing = m_doc.findFigureType(name);
        if (existing >= 0) {
            addFigure(existing);
            return;
        }
        const QString suffix = lowerSuffix(path);
        if (suffix != QLatin1String("gif") && suffix != QLatin1String("png") &&
            suffix != QLatin1String("bmp")) {
            prompter().tell(getPhrase(PhraseType::MFileTypeWrong));
            return;
        }
        const std::optional<Bitmap> bitmap =
            readUserFile(*this, [&] { return readPictureFile(localPath(path)); });
        if (!bitmap) {
            return;
        }
        if (bitmap->width() < 2 || bitmap->height() < 2) {
            prompter().tell(getPhrase(PhraseType::MSmallImage));
            return;
        }
        addFigure(m_doc.addFigureType(spriteType(*bitmap), name));
    });
}

void MainWindow::chooseBackground() {
    guarded("LoadBackground", [this] {
        if (!m_doc.canAddBackground()) {
            prompter().tell(getPhrase(PhraseType::MNoMoreBack));
            return;
        }
        const QString path = choosePictureFile(backgroundFilter());
        if (!path.isEmpty()) {
            loadBackgroundFile(path);
        }
    });
}

void MainWindow::loadBackgroundFile(const QString& path) {
    guarded("LoadBackground", [&] {
        if (!m_doc.canAddBackground()) {
            prompter().tell(getPhrase(PhraseType::MNoMoreBack));
            return;
        }
        stopButtonClick();
        const std::string name = storableName(QFileInfo(path).fileName().toStdString());
        const int existing = m_doc.findBackground(name);
        if (existing >= 0) {
            edit().backgroundIndex = uint8_t(existing);
            m_scene.drawGhostEdit();
            drawFigures();
            return;
        }
        ImageGeneral picture;
        const std::optional<bool> read =
            readUserFile(*this, [&] { return picture.loadFromFile(localPath(path)); });
        if (!read) {
            return;
        }
        if (!*read) {
            prompter().tell(getPhrase(PhraseType::MFileTypeWrong));
            return;
        }
        if (picture.width() < 2 || picture.height() < 2) {
            prompter().tell(getPhrase(PhraseType::MSmallImage));
            return;
        }
        const int animW = m_doc.animWidth();
        const int animH = m_doc.animHeight();
        if (picture.width() != animW || picture.height() != animH) {
            if (m_doc.frameCount() == 0 && canAdoptPictureSize(picture) &&
                prompter().ask(getPhrase(PhraseType::MBackAnimDim)) == Answer::Yes) {
                setAnimationDimensions(picture.width(), picture.height());
            } else {
                // Cover the whole area keeping the proportions, then cut what sticks out.
                BusyCursor busy(*this);
                picture.rescale(
                    std::max(double(animH) / picture.height(), double(animW) / picture.width()));
                picture.setWidth(animW);
                picture.setHeight(animH);
            }
        }
        setFrameBackground(m_doc.addBackground(std::move(picture), name));
    });
}

void MainWindow::setFrameBackground(int slot) {
    guarded("SetBackground", [&] {
        const int old = edit().backgroundIndex;
        if (slot < 0 || slot >= m_doc.backgroundCount() || slot == old) {
            return;
        }
        edit().backgroundIndex = uint8_t(slot);
        assignUndo(PhraseType::MUndoBack);
        if (old != 0 && !m_session.backgroundInUse(old)) {
            const QString question = getPhrase(PhraseType::MRemoveBackAsk)
                                         .arg(QString::fromStdString(m_doc.backgroundName(old)));
            if (prompter().ask(question, false, QuestionCaption::Information) == Answer::Yes) {
                m_session.removeBackground(old); // later slots close up in every frame
                showUndoCaptions();
            }
        }
        m_scene.drawGhostEdit();
        drawFigures();
    });
}

} // namespace kelto
