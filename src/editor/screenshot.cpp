#include "editor/screenshot.h"

#include "builder/figurebuilderform.h"
#include "dialogs/optionsdialog.h"
#include "document/kelformat.h"
#include "editor/canvasview.h"
#include "editor/mainwindow.h"
#include "graphics/bitmap.h"
#include "pickers/backgroundpicker.h"
#include "pickers/figurepicker.h"
#include "settings/datafolders.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>

namespace kelto {

namespace {

ImageGeneral gradientPicture(int w, int h, uint32_t top, uint32_t bottom) {
    Bitmap bitmap(w, h, PixelFormat::Bits32);
    for (int y = 0; y < h; ++y) {
        uint32_t pixel = 0;
        for (int shift = 0; shift < 24; shift += 8) {
            const int a = int((top >> shift) & 0xFF), b = int((bottom >> shift) & 0xFF);
            pixel |= uint32_t(a + (b - a) * y / std::max(h - 1, 1)) << shift;
        }
        for (int x = 0; x < w; ++x) {
            bitmap.setRawPixel(x, y, pixel);
        }
    }
    ImageGeneral picture;
    picture.setBitmap(bitmap);
    return picture;
}

void save(QWidget* widget, const QString& path) {
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "could not write %s\n", qPrintable(path));
    }
}

// Once "Load Figure Type" shows its dialog: picks a figure-type file so that the preview draws
// it, saves a picture of the dialog and closes it.
void grabOpenDialog(const QString& path) {
    QTimer::singleShot(700, [path] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            std::fprintf(stderr, "no open dialog to take a picture of\n");
            return;
        }
        // The file list fills in the background, so the choice is made once it shows.
        QTimer::singleShot(500, dialog, [dialog, path] {
            const QString dog =
                defaultDataFolder(QStringLiteral("stick figures")) + QStringLiteral("Dog.stk");
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                name->setText(QFileInfo(dog).fileName());
            }
            Q_EMIT dialog->currentChanged(dog);
            QTimer::singleShot(500, dialog, [dialog, path] {
                save(dialog, path);
                dialog->reject();
            });
        });
    });
}

// A made-up scene, for a tree without the sample animation: a second frame over a ghost, a
// posed man seen through, a second figure selected and a background.
void buildScene(MainWindow& window) {
    Document& doc = window.document();
    doc.addBackground(gradientPicture(500, 400, 0x00F0C080, 0x00FFF4E8), "Sky");
    doc.addBackground(gradientPicture(800, 300, 0x0060B060, 0x00305030), "Long meadow");
    doc.addFigureType(createDefaultTwoType(), "Default 2");
    window.nextFrameButtonClick();
    Figures& edit = window.editFigures();
    const FigureTypeList& types = doc.figureTypes();
    edit.figures[0].rotateAll(0.25, types[1]);
    edit.moveFigure(0, 40, -10);
    window.addFigure(2);
    edit.moveFigure(1, -150, 20);
    const int arm = types[1].segmentCount() - 1;
    const PointF hand = edit.figures[0].joint(types[1].segments[size_t(arm)].endJoint);
    edit.dragHandle(types, 0, arm, {hand.x + 10, hand.y - 40}, false, {});
    edit.figures[0].transparency = 150;
    window.setFrameBackground(1);
}

// The shipped sample animation with a stored frame open for editing and a figure selected, so
// the timeline, its marks, the ghost and the handles all show.
bool openSample(MainWindow& window) {
    const QString sample =
        defaultDataFolder(QStringLiteral("animations")) + QStringLiteral("Sample.kel");
    if (!QFileInfo::exists(sample)) {
        return false;
    }
    window.loadProject(sample);
    if (window.document().frameCount() < 6) {
        return false;
    }
    // The timeline shows the start, with the marked frames in view.
    window.findChild<QScrollBar*>(QStringLiteral("TLScrollBar"))->setValue(3);
    window.selectFrame(7);
    window.selectFrame(5, Qt::ControlModifier);
    window.editFigures().select(0, true);
    window.drawFigures();
    return true;
}

// The in-between dialog open over the sample, its ghost on the canvas: the window's picture
// with the dialog's drawn onto it at the canvas's lower right.
void grabInbetweenPreview(MainWindow& window, const QString& path) {
    // Key frames far enough apart for the ghost to stand clear of the frame being edited.
    window.selectFrame(12);
    window.selectFrame(4, Qt::ControlModifier);
    window.editFigures().clearSelection();
    window.setDialogRunner([&window, path](QDialog& dialog) {
        dialog.adjustSize();
        QPixmap shot = window.grab();
        const QPixmap box = dialog.grab();
        QPainter painter(&shot);
        painter.drawPixmap(shot.width() - box.width() - 40, shot.height() - box.height() - 40, box);
        painter.end();
        if (!shot.save(path)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
        }
        return int(QDialog::Rejected);
    });
    window.openInbetweensDialog();
    window.setDialogRunner({});
}

} // namespace

void scheduleScreenshots(MainWindow& window, const QString& folder) {
    QDir().mkpath(folder);
    QTimer::singleShot(1500, &window, [&window, folder] {
        const bool sample = openSample(window);
        if (!sample) {
            buildScene(window);
        }
        window.setSavedState(true);
        save(&window, folder + QStringLiteral("/main.png"));
        // The same frame zoomed in: the handles keep their size, the status bar shows 200 %.
        // About the middle of the selected figure, which stays where it was.
        const Figures& edit = window.editFigures();
        if (edit.selectedCount() > 0) {
            const Rect& b = edit.figures[edit.selection[0]].bounds;
            const QPointF middle =
                animationToCanvas({(b.left + b.right) / 2.0, (b.top + b.bottom) / 2.0},
                                  window.scene().areaOffset(), window.zoom());
            window.setZoomAt(
                2.0, middle - QPointF(window.editingScrollBox()->horizontalScrollBar()->value(),
                                      window.editingScrollBox()->verticalScrollBar()->value()));
        }
        window.setZoom(2.0);
        save(&window, folder + QStringLiteral("/main-zoomed.png"));
        window.setZoom(1.0);
        window.figurePicker()->show();
        window.backgroundPicker()->show();
        // The builder holding one of the sample's figure types, when it has them.
        window.optionsDialog()->show();
        window.figureBuilder()->showBuilder();
        const int dog = window.document().findFigureType("Dog");
        if (dog >= 0) {
            window.figureBuilder()->editFigureType(window.document().figureType(dog));
        }
        QTimer::singleShot(700, &window, [&window, folder, sample] {
            save(window.figurePicker(), folder + QStringLiteral("/figure-picker.png"));
            save(window.backgroundPicker(), folder + QStringLiteral("/background-picker.png"));
            save(window.figureBuilder(), folder + QStringLiteral("/builder.png"));
            save(window.optionsDialog(), folder + QStringLiteral("/options.png"));
            window.optionsDialog()->hide();
            window.figureBuilder()->hide();
            window.figurePicker()->hide();
            window.backgroundPicker()->hide();
            grabOpenDialog(folder + QStringLiteral("/open-figure-type.png"));
            window.chooseFigureTypes(); // returns when the dialog has been grabbed and closed
            if (sample) {
                grabInbetweenPreview(window, folder + QStringLiteral("/inbetweens.png"));
            }
            window.document().documentSaved = true;
            QApplication::quit();
        });
    });
}

} // namespace kelto
