#include "dialogs/avicompressiondialog.h"
#include "dialogs/avioptionsform.h"
#include "dialogs/exportcommand.h"
#include "dialogs/gifoptionsform.h"
#include "dialogs/imageoptionsform.h"
#include "dialogs/progressform.h"
#include "dialogs/sheetoptionsform.h"
#include "dialogs/videooptionsform.h"
#include "document/document.h"
#include "document/kelformat.h"
#include "export/aviwriter.h"
#include "export/exportcheck.h"
#include "export/videofiles.h"
#include "export/videowriter.h"
#include "gui/scriptedprompter.h"
#include "settings/errorreporter.h"
#include "settings/multilang.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstring>
#include <functional>
#include <sys/resource.h>

using namespace kelto;
using kelto::testing::ScriptedPrompter;
using namespace kelto::testing;

namespace {

// n frames of one stick man walking to the right; repeats[i] holds frame i for that many periods.
Document makeDocument(int n, std::vector<int> repeats = {}, int width = 120, int height = 90) {
    Document doc(width, height);
    Figures edit = doc.newEditFrame();
    for (int i = 0; i < n; ++i) {
        edit.figures[0].placeRoot({30.0 + 3 * i, 70.0}, doc.figureType(1));
        edit.figures[0].updateBounds(doc.figureType(1));
        Figures frame;
        frame.assign(edit);
        if (i < static_cast<int>(repeats.size())) {
            frame.repeatCount = static_cast<uint16_t>(repeats[size_t(i)]);
        }
        doc.frames.push_back(frame);
    }
    return doc;
}

// Runs action on the modal window once it is up. The timer belongs to context, a local of the
// test, so a window that never opens leaves no timer behind.
void whenModal(QObject* context, std::function<void(QWidget*)> action) {
    QTimer::singleShot(0, context, [action] { action(QApplication::activeModalWidget()); });
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files, QDir::Name);
}

// The frame count an AVI file's main header holds once the file was closed properly.
quint32 aviTotalFrames(const QByteArray& avi) {
    if (avi.size() < 52 || !avi.startsWith("RIFF") || avi.mid(24, 4) != "avih") {
        return 0;
    }
    quint32 frames = 0;
    std::memcpy(&frames, avi.constData() + 48, 4);
    return frames;
}

} // namespace

// Drives "Export Animation", the options windows and the SVG commands as the user would; file
// choices and questions come from a scripted prompter, modal windows are answered by timers.
class TestExport : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ScriptedPrompter m_prompter;
    QStringList m_reported;
    std::unique_ptr<QTemporaryDir> m_out;

    QString out(const QString& name) const { return m_out->filePath(name); }

    // Export with the options window of the given kind, clicking its OK after adjust.
    QString runExport(ExportCommand& command, const Document& doc, ExportCommand::Kind kind,
                      const QString& name, std::function<void(QWidget*)> adjust = {}) {
        m_prompter.saveNames.push_back(name);
        m_prompter.saveFilters.push_back(kind);
        QObject context;
        bool shown = false;
        whenModal(&context, [&](QWidget* window) {
            auto* form = qobject_cast<ExportOptionsForm*>(window);
            QVERIFY(form != nullptr);
            shown = true;
            if (adjust) {
                adjust(form);
            }
            form->okButton()->click();
        });
        const QString written = command.exportAnimation(doc, 80);
        [&] { QVERIFY(shown); }();
        return written;
    }

    QByteArray runCli(const QStringList& arguments) {
        QProcess cli;
        cli.start(QStringLiteral(KELTO_CLI_PATH), arguments);
        if (!cli.waitForFinished(60000) || cli.exitCode() != 0) {
            qWarning() << cli.readAllStandardError();
            return {};
        }
        return cli.readAllStandardOutput();
    }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        qputenv("KELTO_CONFIG_DIR", m_dir.filePath("config").toUtf8());
        ErrorReporter::instance().setDisplayHook(
            [this](const std::string& line) { m_reported << QString::fromStdString(line); });
        setPrompter(&m_prompter);
        multiLang().openFolder(m_dir.filePath("languages"));
    }

    void init() {
        m_prompter = ScriptedPrompter();
        m_reported.clear();
        m_out = std::make_unique<QTemporaryDir>();
    }

    void cleanup() { QCOMPARE(m_reported, QStringList()); }

    void noFramesShowsTheMessageAndNoDialog() {
        ExportCommand command(nullptr);
        m_prompter.saveNames.push_back(out("walk.gif"));
        int stops = 0;
        command.exportAnimation(Document(), 80, [&] { ++stops; });
        QCOMPARE(m_prompter.messages,
                 QStringList{"You must create at least one frame before saving an animation"});
        QCOMPARE(m_prompter.saveNames.size(), size_t(1)); // the dialog was never opened
        QCOMPARE(stops, 0);
    }

    // The dialog starts with the animation's own name, "walk"; taken as it stands it comes
    // back as "walk.kel" (the dialog's default suffix), the animation itself. That file is
    // never written by an export, so replacing it is not asked; the GIF beside it is.
    void exportNamedAfterTheAnimationAsksOnlyAboutWhatItWrites() {
        ExportCommand command(nullptr);
        Document doc = makeDocument(3);
        QFile animation(out("walk.kel"));
        QVERIFY(animation.open(QIODevice::WriteOnly));
        animation.write("the animation");
        animation.close();
        doc.currentFileName = out("walk.kel").toStdString();

        const QString written = runExport(command, doc, ExportCommand::Gif, out("walk.kel"));
        QCOMPARE(m_prompter.folders, QStringList{out("walk")});
        QVERIFY(m_prompter.questions.isEmpty());
        QVERIFY2(written.startsWith("Exported 3 frames to walk.gif ("), qPrintable(written));
        QCOMPARE(contents(out("walk.kel")), QByteArray("the animation"));

        m_prompter.saveNames.push_back(out("walk.kel"));
        m_prompter.answers.push_back(Answer::No);
        QCOMPARE(command.exportAnimation(doc, 80), QString());
        QCOMPARE(
            m_prompter.questions,
            QStringList{"A file with that name already exists. Would you like to replace it?"});
    }

    void existingNameAnsweredNoWritesNothing() {
        QWidget mainWindow;
        ExportCommand command(&mainWindow);
        QFile existing(out("walk.gif"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep");
        existing.close();
        m_prompter.saveNames.push_back(out("walk.gif"));
        m_prompter.answers.push_back(Answer::No);
        QObject context;
        int opened = 0;
        whenModal(&context, [&](QWidget* window) {
            if (window) {
                ++opened;
                window->close();
            }
        });
        int stops = 0;
        command.exportAnimation(makeDocument(3), 80, [&] { ++stops; });
        QCOMPARE(stops, 1);
        QCOMPARE(
            m_prompter.questions,
            QStringList{"A file with that name already exists. Would you like to replace it?"});
        QCOMPARE(opened, 0);
        QCOMPARE(filesIn(*m_out), QStringList{"walk.gif"});
        QCOMPARE(contents(out("walk.gif")), QByteArray("keep"));

        // A bare name gets the dialog's extension; the GIF it would replace is asked about.
        m_prompter.saveNames.push_back(out("walk.kel"));
        m_prompter.saveFilters.push_back(ExportCommand::Gif);
        command.exportAnimation(makeDocument(3), 80);
        QCOMPARE(m_prompter.questions.size(), 2);
        QCOMPARE(contents(out("walk.gif")), QByteArray("keep"));
        m_prompter.saveNames.push_back(out("walk.kel"));
        m_prompter.saveFilters.push_back(ExportCommand::SeparateImages);
        whenModal(&context, [&](QWidget* window) {
            if (window) {
                ++opened;
                window->close();
            }
        });
        command.exportAnimation(makeDocument(3), 80); // nothing of that name: straight on
        QCOMPARE(m_prompter.questions.size(), 2);
        QCOMPARE(opened, 1);

        // A cancelled dialog ends the command as quietly.
        command.exportAnimation(makeDocument(3), 80);
        QCOMPARE(m_prompter.questions.size(), 2);
        QCOMPARE(opened, 1);
    }

    void separateImagesAreNumberedFromTheChosenName() {
        QWidget mainWindow;
        ExportCommand command(&mainWindow);
        const Document doc = makeDocument(12, {1, 3});
        Qt::CursorShape duringExport = Qt::ArrowCursor;
        runExport(command, doc, ExportCommand::SeparateImages, out("walk.bmp"), [&](QWidget*) {
            duringExport = mainWindow.cursor().shape();
            QCOMPARE(command.imageOptions().windowTitle(), QString("Save as Images Options"));
            QVERIFY(!command.imageOptions().qualityEdit()->isEnabled());
        });
        QCOMPARE(duringExport, Qt::WaitCursor);
        QCOMPARE(mainWindow.cursor().shape(), Qt::ArrowCursor); // restored afterwards
        QStringList expected;
        for (int i = 0; i < 12; ++i) {
            expected << QString("walk%1.png").arg(i, 2, 10, QChar('0'));
        }
        expected << "walk01rep1.png"
                 << "walk01rep2.png";
        expected.sort();
        QCOMPARE(filesIn(*m_out), expected);
        QVERIFY(!command.progressForm().isVisible());
        QCOMPARE(command.imageOptions().job().baseName, std::string());

        // JPEG at quality 0 without repeats; the quality box follows the format, its value stays.
        ImageOptionsForm& form = command.imageOptions();
        runExport(command, doc, ExportCommand::SeparateImages, out("take.two.bmp"), [&](QWidget*) {
            form.jpegButton()->click();
            QVERIFY(form.qualityEdit()->isEnabled());
            form.qualityEdit()->setValue(0);
            form.gifButton()->click();
            QVERIFY(!form.qualityEdit()->isEnabled());
            form.jpegButton()->click();
            form.repeatsBox()->setChecked(false);
        });
        QCOMPARE(form.qualityEdit()->value(), 0);
        QVERIFY(filesIn(*m_out).contains("take00.jpg"));
        QVERIFY(!filesIn(*m_out).contains("take01rep1.jpg"));
        QCOMPARE(filesIn(*m_out).filter(".jpg").size(), 12);
        // The values are kept for the next export.
        QVERIFY(form.jpegButton()->isChecked());
        QVERIFY(!form.repeatsBox()->isChecked());
    }

    // The typed name decides what is written, whichever filter is chosen.
    void theTypedExtensionDecidesTheFormat() {
        QCOMPARE(ExportCommand::kindForName("a/frames.png", ExportCommand::Gif),
                 ExportCommand::SeparateImages);
        QCOMPARE(ExportCommand::kindForName("walk.GIF", ExportCommand::SeparateImages),
                 ExportCommand::Gif);
        QCOMPARE(ExportCommand::kindForName("walk.webm", ExportCommand::Avi), ExportCommand::WebM);
        QCOMPARE(ExportCommand::kindForName("walk.kel", ExportCommand::Apng), ExportCommand::Apng);
        QCOMPARE(ExportCommand::kindForName("walk.v2", 99), ExportCommand::Gif);
        QVERIFY(ExportCommand::dialogFilter().contains("Separate Images (*.png"));
        QVERIFY(ExportCommand::dialogFilter().contains("MP4 Video (*.mp4)"));

        ExportCommand command(nullptr);
        const Document doc = makeDocument(3, {1, 2});
        QString written = runExport(command, doc, ExportCommand::Gif, out("frames.png"));
        QCOMPARE(filesIn(*m_out),
                 (QStringList{"frames0.png", "frames1.png", "frames1rep1.png", "frames2.png"}));
        QCOMPARE(written, QString("Exported 3 frames to 4 files, frames0.png to frames2.png"));

        // A typed .jpg picks JPEG in the window; it stays picked for the next export.
        runExport(command, doc, ExportCommand::Gif, out("take.jpg"), [&](QWidget*) {
            QVERIFY(command.imageOptions().jpegButton()->isChecked());
            QVERIFY(command.imageOptions().qualityEdit()->isEnabled());
        });
        QVERIFY(filesIn(*m_out).contains("take2.jpg"));

        written = runExport(command, doc, ExportCommand::Gif, out("clip.mp4"), [&](QWidget* w) {
            QCOMPARE(w, static_cast<QWidget*>(&command.videoOptions()));
            QCOMPARE(w->windowTitle(), QString("MP4 Video Options"));
        });
        QVERIFY(QFile::exists(out("clip.mp4")));
        QVERIFY(!QFile::exists(out("clip.gif")));
        QVERIFY2(written.startsWith("Exported 3 frames to clip.mp4 ("), qPrintable(written));
        const DecodedVideoFile video = decodeVideoFile(out("clip.mp4").toStdString());
        QCOMPARE(int(video.packets.size()), 3);
        QCOMPARE(video.totalMs, qint64(320));
    }

    // Each format shows the fields it has, and each keeps its own quality.
    void videoWindowFollowsTheFormat() {
        ExportCommand command(nullptr);
        VideoOptionsForm& form = command.videoOptions();
        const Document doc = makeDocument(2);
        runExport(command, doc, ExportCommand::Apng, out("a.apng"), [&](QWidget*) {
            QVERIFY(!form.qualityEdit()->isVisible());
            QVERIFY(form.loopBox()->isVisible());
            QVERIFY(!form.losslessBox()->isVisible());
            QVERIFY(form.cancelButton()->isVisible());
            form.loopBox()->setChecked(false);
        });
        runExport(command, doc, ExportCommand::WebP, out("a.webp"), [&](QWidget*) {
            QVERIFY(form.qualityEdit()->isVisible());
            QCOMPARE(form.qualityEdit()->text(), QString("Default"));
            QCOMPARE(form.qualityHint()->text(), QString("0 to 100, higher is better"));
            QVERIFY(form.losslessBox()->isVisible());
            form.losslessBox()->setChecked(true);
            QVERIFY(!form.qualityEdit()->isEnabled());
        });
        runExport(command, doc, ExportCommand::WebM, out("a.webm"), [&](QWidget*) {
            QVERIFY(!form.loopBox()->isVisible());
            QVERIFY(!form.losslessBox()->isVisible());
            QCOMPARE(form.qualityHint()->text(), QString("0 to 63, lower is better"));
            form.qualityEdit()->setValue(50);
        });
        QCOMPARE(form.options().quality, 50);
        form.setFormat(VideoFormat::WebP);
        QCOMPARE(form.options().quality, -1);
        QVERIFY(form.options().lossless);
        form.setFormat(VideoFormat::WebM);
        QCOMPARE(form.options().quality, 50);
        QVERIFY(!form.options().lossless);
        // Played once, as chosen: the animation control chunk says one play.
        for (const Chunk& c : pngChunks(contents(out("a.apng")))) {
            if (c.type == "acTL") {
                QCOMPARE(bigEndian32(c.payload, 4), 1u);
            }
        }
        QCOMPARE(filesIn(*m_out), (QStringList{"a.apng", "a.webm", "a.webp"}));
    }

    void cancelInTheOptionsWindowWritesNothing() {
        ExportCommand command(nullptr);
        const struct {
            ExportCommand::Kind kind;
            QString name;
        } cases[] = {{ExportCommand::Gif, "w.gif"},
                     {ExportCommand::Avi, "w.avi"},
                     {ExportCommand::SeparateImages, "w.png"},
                     {ExportCommand::WebP, "w.webp"}};
        for (const auto& c : cases) {
            m_prompter.saveNames.push_back(out(c.name));
            m_prompter.saveFilters.push_back(c.kind);
            QObject context;
            QString caption;
            whenModal(&context, [&](QWidget* window) {
                auto* form = qobject_cast<ExportOptionsForm*>(window);
                QVERIFY(form != nullptr);
                caption = form->cancelButton()->text();
                form->cancelButton()->click();
            });
            QCOMPARE(command.exportAnimation(makeDocument(3), 80), QString());
            QCOMPARE(caption, QString("&Cancel"));
        }
        QCOMPARE(filesIn(*m_out), QStringList());
        QVERIFY(!command.progressForm().isVisible());
    }

    // Without the encoder: one plain sentence, no window, no file.
    void missingEncoderIsToldBeforeAnythingElse() {
        setEncoderLookupForTesting([](const std::string& name) { return name != "libvpx-vp9"; });
        ExportCommand command(nullptr);
        m_prompter.saveNames.push_back(out("walk.webm"));
        QObject context;
        bool opened = false;
        whenModal(&context, [&](QWidget* window) {
            if (window) {
                opened = true;
                window->close();
            }
        });
        const QString written = command.exportAnimation(makeDocument(3), 80);
        setEncoderLookupForTesting(nullptr);
        QCOMPARE(written, QString());
        QVERIFY(!opened);
        QCOMPARE(m_prompter.messages,
                 QStringList{"WebM video cannot be written because the installed FFmpeg "
                             "libraries lack the VP9 encoder (libvpx-vp9)."});
        QCOMPARE(filesIn(*m_out), QStringList());
    }

    void numericFieldsFallBackToTheirDefaults() {
        ExportCommand command(nullptr);
        ImageOptionsForm& form = command.imageOptions();
        form.show();
        auto typeInto = [](QSpinBox* box, const QString& text) {
            auto* edit = box->findChild<QLineEdit*>();
            edit->selectAll();
            edit->del();
            QTest::keyClicks(edit, text);
        };
        // Leaving an empty field restores the default, not the previous value.
        form.resizeEdit()->setValue(250);
        typeInto(form.resizeEdit(), "");
        QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(form.resizeEdit(), &focusOut);
        QCOMPARE(form.resizeEdit()->value(), 100);

        // OK makes every field valid before the export reads them.
        form.superSampleEdit()->setValue(3);
        typeInto(form.superSampleEdit(), "");
        form.qualityEdit()->setValue(40);
        typeInto(form.qualityEdit(), "");
        form.setJob({nullptr, {}, 80}); // no document: the export itself fails and is reported
        form.okButton()->click();
        QCOMPARE(form.superSampleEdit()->value(), 2);
        QCOMPARE(form.qualityEdit()->value(), 100);
        QCOMPARE(m_reported.size(), 1);
        m_reported.clear();
        QVERIFY(form.okButton()->isEnabled());
        QVERIFY(form.isEnabled());
    }

    void gifListsAreChosenFromTheAnimationOnEveryShowing_data() {
        QTest::addColumn<int>("variant");
        QTest::addColumn<int>("colours");
        QTest::addColumn<int>("dither");
        QTest::newRow("all black")
            << 0 << int(ColourReduction::GrayScale) << int(DitherMode::Nearest);
        QTest::newRow("one red figure")
            << 1 << int(ColourReduction::QuantizeOptimal) << int(DitherMode::Nearest);
        QTest::newRow("a background")
            << 2 << int(ColourReduction::QuantizeOptimal) << int(DitherMode::Nearest);
        QTest::newRow("a type with a picture")
            << 3 << int(ColourReduction::QuantizeOptimal) << int(DitherMode::Stucki);
    }

    void gifListsAreChosenFromTheAnimationOnEveryShowing() {
        QFETCH(int, variant);
        QFETCH(int, colours);
        QFETCH(int, dither);
        Document doc = makeDocument(3);
        if (variant == 1) {
            doc.frames[2].figures[0].colour = 0x0000FF;
        } else if (variant == 2) {
            ImageGeneral picture;
            picture.setBitmap(Bitmap(8, 8, PixelFormat::Bits32));
            doc.addBackground(picture, "night");
        } else if (variant == 3) {
            FigureType type = createStickmanType();
            type.setImageCount(1);
            doc.addFigureType(type, "pictured");
        }
        ExportCommand command(nullptr);
        GifOptionsForm& form = command.gifOptions();
        form.setJob({&doc, "unused", 80});
        form.colourBox()->setCurrentIndex(5);
        form.ditherBox()->setCurrentIndex(6);
        form.mergeBox()->setChecked(true);
        form.show();
        QCOMPARE(form.colourBox()->currentIndex(), colours);
        QCOMPARE(form.ditherBox()->currentIndex(), dither);
        QCOMPARE(form.colourBox()->count(), kColourReductionCount);
        QCOMPARE(form.ditherBox()->count(), kDitherModeCount);

        // Chosen afresh on the next showing; the check boxes keep their state.
        form.hide();
        form.colourBox()->setCurrentIndex(5);
        form.show();
        QCOMPARE(form.colourBox()->currentIndex(), colours);
        QVERIFY(form.mergeBox()->isChecked());
        form.hide();
    }

    void advancedToggleShowsTheGroupAndResizesTheWindow() {
        ExportCommand command(nullptr);
        GifOptionsForm& form = command.gifOptions();
        form.show();
        QVERIFY(!form.advancedGroup()->isVisible());
        const int folded = form.height();
        form.advancedButton()->click();
        QVERIFY(form.advancedGroup()->isVisible());
        QVERIFY(form.height() > folded + form.advancedGroup()->height() / 2);
        QCOMPARE(form.advancedButton()->text(), QString("&Advanced"));
        QCOMPARE(form.ditherBox()->itemText(0), QString("Nearest (no dithering)"));
        QCOMPARE(form.ditherBox()->itemText(2), QString("Stucki"));
        form.advancedButton()->click();
        QVERIFY(!form.advancedGroup()->isVisible());
        QCOMPARE(form.height(), folded);
    }

    void cancellingStopsEachExportAsItShould() {
        QWidget mainWindow;
        ExportCommand command(&mainWindow);
        ProgressForm& progress = command.progressForm();
        QCOMPARE(progress.windowTitle(), QString("Saving Animation"));
        int steps = 0;
        int cancelAt = 3;
        connect(&progress, &ProgressForm::progressed, this, [&](int) {
            QVERIFY(progress.isVisible());
            if (++steps == cancelAt) {
                // Acts only when the export lets pending events run.
                QMetaObject::invokeMethod(progress.cancelButton(), &QPushButton::click,
                                          Qt::QueuedConnection);
            }
        });
        const Document doc = makeDocument(25);

        // GIF: nothing is written.
        runExport(command, doc, ExportCommand::Gif, out("walk.gif"));
        QCOMPARE(steps, 3);
        QCOMPARE(filesIn(*m_out), QStringList());
        QVERIFY(progress.cancelFlag());
        QCOMPARE(progress.bar()->value(), 0);

        // Pictures: the ones written stay.
        steps = 0;
        runExport(command, doc, ExportCommand::SeparateImages, out("walk.bmp"));
        QCOMPARE(filesIn(*m_out), (QStringList{"walk00.png", "walk01.png", "walk02.png"}));

        // AVI (progress every tenth frame) and MP4: no cut-off video is kept.
        steps = 0;
        cancelAt = 2;
        runExport(command, doc, ExportCommand::Avi, out("walk.avi"));
        QVERIFY(!QFile::exists(out("walk.avi")));
        steps = 0;
        QCOMPARE(runExport(command, doc, ExportCommand::Mp4, out("walk.mp4")), QString());
        QCOMPARE(steps, 2);
        QVERIFY(!QFile::exists(out("walk.mp4")));
    }

    void exportFailuresAreReportedAndTheWindowsRecover_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::newRow("gif") << int(ExportCommand::Gif) << "walk.gif";
        QTest::newRow("avi") << int(ExportCommand::Avi) << "walk.avi";
        QTest::newRow("pictures") << int(ExportCommand::SeparateImages) << "walk.bmp";
        QTest::newRow("mp4") << int(ExportCommand::Mp4) << "walk.mp4";
    }

    void exportFailuresAreReportedAndTheWindowsRecover() {
        QFETCH(int, kind);
        QFETCH(QString, name);
        ExportCommand command(nullptr);
        QWidget* form = nullptr;
        runExport(command, makeDocument(3), ExportCommand::Kind(kind), out("gone/") + name,
                  [&](QWidget* window) { form = window; });
        QCOMPARE(m_reported.size(), 1);
        m_reported.clear();
        QVERIFY(form != nullptr && form->isEnabled() && !form->isVisible());
        QVERIFY(qobject_cast<ExportOptionsForm*>(form)->okButton()->isEnabled());
        QVERIFY(!command.progressForm().isVisible());
        QCOMPARE(filesIn(*m_out), QStringList());
    }

    // A disk that takes only the first bytes: the failure reaches the user, and the file the
    // export would have replaced is still the old one.
    void fullDiskIsReportedAndKeepsTheOldFile_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("written");
        QTest::newRow("gif") << int(ExportCommand::Gif) << "walk.gif"
                             << "walk.gif";
        QTest::newRow("avi") << int(ExportCommand::Avi) << "walk.avi"
                             << "walk.avi";
        QTest::newRow("pictures") << int(ExportCommand::SeparateImages) << "walk.bmp"
                                  << "walk0.png";
        QTest::newRow("mp4") << int(ExportCommand::Mp4) << "walk.mp4"
                             << "walk.mp4";
        QTest::newRow("webp") << int(ExportCommand::WebP) << "walk.webp"
                              << "walk.webp";
    }

    void fullDiskIsReportedAndKeepsTheOldFile() {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(QString, written);
        QFile old(out(written));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older export");
        old.close();
        m_prompter.answers.push_back(Answer::Yes); // replace it
        ExportCommand command(nullptr);
        {
            std::signal(SIGXFSZ, SIG_IGN);
            rlimit saved{};
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit limited = saved;
            limited.rlim_cur = 64;
            setrlimit(RLIMIT_FSIZE, &limited);
            runExport(command, makeDocument(3), ExportCommand::Kind(kind), out(name));
            setrlimit(RLIMIT_FSIZE, &saved);
        }
        QCOMPARE(m_reported.size(), 1);
        QVERIFY2(m_reported[0].startsWith("Could not write " + out(written) + ": File too large"),
                 qPrintable(m_reported[0]));
        m_reported.clear();
        QCOMPARE(contents(out(written)), QByteArray("an older export"));
        QCOMPARE(filesIn(*m_out), QStringList{written});
    }

    // One 500 x 400 frame held 65,535 periods, as an uncompressed video at 1000 %: refused
    // before anything is written, the message giving what it needs and what is free.
    void videoLargerThanTheFreeSpaceIsRefused() {
        const Document doc = makeDocument(1, {65535}, 500, 400);
        AviExportOptions options;
        options.resize = 1000;
        const ExportPlan plan = planAvi(doc, out("held").toStdString(), options);
        const std::optional<uint64_t> free = freeSpaceIn(m_out->path().toStdString());
        QVERIFY(free.has_value());
        if (*free >= plan.size.bytes) {
            QSKIP("this file system has room for the whole video");
        }
        ExportCommand command(nullptr);
        runExport(command, doc, ExportCommand::Avi, out("held.avi"), [](QWidget* window) {
            qobject_cast<ExportOptionsForm*>(window)->resizeEdit()->setValue(1000);
        });
        QCOMPARE(m_reported.size(), 1);
        const QString line = m_reported.takeFirst();
        QVERIFY2(
            line.contains(QString::fromStdString("needs about " + humanBytes(plan.size.bytes))),
            qPrintable(line));
        QVERIFY2(line.contains(" is free in "), qPrintable(line));
        QCOMPARE(filesIn(*m_out), QStringList());
        QVERIFY(!command.progressForm().isVisible());
    }

    void compressionDialogListsTheEncodersAndItsCancelWritesNothing() {
        ExportCommand command(nullptr);
        AviOptionsForm& form = command.aviOptions();
        const std::vector<AviCodec> codecs = availableAviCodecs();
        QVERIFY(!codecs.empty());
        int listed = -1;
        runExport(command, makeDocument(4), ExportCommand::Avi, out("walk.avi"), [&](QWidget*) {
            form.compressBox()->setChecked(true);
            whenModal(&form, [&](QWidget* window) {
                auto* dialog = qobject_cast<AviCompressionDialog*>(window);
                QVERIFY(dialog != nullptr);
                listed = dialog->codecList()->count();
                dialog->cancelButton()->click();
            });
        });
        QCOMPARE(listed, int(codecs.size()));
        QCOMPARE(filesIn(*m_out), QStringList());
        QVERIFY(!command.progressForm().isVisible());

        // Chosen once, the encoder stays selected for the next export.
        runExport(command, makeDocument(4), ExportCommand::Avi, out("walk.avi"), [&](QWidget*) {
            whenModal(&form, [&](QWidget* window) {
                auto* dialog = qobject_cast<AviCompressionDialog*>(window);
                QVERIFY(dialog != nullptr);
                dialog->codecList()->setCurrentRow(int(codecs.size()) - 1);
                dialog->okButton()->click();
            });
        });
        QCOMPARE(form.options().codec, codecs.back().name);
        QCOMPARE(aviTotalFrames(contents(out("walk.avi"))), quint32(4));
        QCOMPARE(form.compressionDialog()->chosenCodec(), codecs.back().name);
    }

    void cliAndAppWriteIdenticalFiles() {
        Document doc = makeDocument(6, {1, 2, 1, 4});
        doc.frames[3].figures[0].colour = 0x2080F0;
        Document saved = makeDocument(6, {1, 2, 1, 4});
        saved.frames[3].figures[0].colour = 0x2080F0;
        const QString kel = m_dir.filePath("cli-compare");
        saveAnimation(saved, kel.toStdString());
        ExportCommand command(nullptr);
        const struct {
            ExportCommand::Kind kind;
            QString name;   // as chosen in the app
            QString cliOut; // what the CLI is told
            QStringList files;
        } cases[] = {
            {ExportCommand::Gif, "anim.gif", "anim.gif", {"anim.gif"}},
            {ExportCommand::Avi, "anim.avi", "anim.avi", {"anim.avi"}},
            {ExportCommand::SeparateImages,
             "anim.bmp",
             "anim.png",
             {"anim0.png", "anim1.png", "anim1rep1.png", "anim5.png"}},
            {ExportCommand::Mp4, "anim.mp4", "anim.mp4", {"anim.mp4"}},
            {ExportCommand::WebM, "anim.webm", "anim.webm", {"anim.webm"}},
            {ExportCommand::Apng, "anim.apng", "anim.apng", {"anim.apng"}},
            {ExportCommand::WebP, "anim.webp", "anim.webp", {"anim.webp"}},
        };
        for (const auto& c : cases) {
            QVERIFY(!runCli({"export", kel + ".kel", "-o", out(c.cliOut)}).isEmpty());
            QList<QByteArray> fromCli;
            for (const QString& file : c.files) {
                fromCli << contents(out(file));
                QVERIFY2(!fromCli.back().isEmpty(), qPrintable(file));
                QVERIFY(QFile::remove(out(file)));
            }
            runExport(command, doc, c.kind, out(c.name));
            for (int i = 0; i < c.files.size(); ++i) {
                QVERIFY2(contents(out(c.files[i])) == fromCli[i], qPrintable(c.files[i]));
            }
        }
    }

    // The sprite sheet is chosen by its filter, since .png alone means separate pictures; the
    // app writes the same picture and description as the command line for the same options.
    void spriteSheetMatchesTheCliAndItsCancelWritesNothing() {
        QCOMPARE(ExportCommand::kindForName("a/walk.png", ExportCommand::SpriteSheet),
                 ExportCommand::SpriteSheet);
        QCOMPARE(ExportCommand::kindForName("a/walk", ExportCommand::SpriteSheet),
                 ExportCommand::SpriteSheet);
        QCOMPARE(ExportCommand::kindForName("a/walk.gif", ExportCommand::SpriteSheet),
                 ExportCommand::Gif);
        QCOMPARE(ExportCommand::kindForName("a/walk.png", ExportCommand::Gif),
                 ExportCommand::SeparateImages);
        QVERIFY(ExportCommand::dialogFilter().endsWith(";;Sprite Sheet (*.png)"));

        Document doc = makeDocument(5, {1, 3, 1, 2});
        doc.frames[2].figures[0].colour = 0x2080F0;
        Document saved = makeDocument(5, {1, 3, 1, 2});
        saved.frames[2].figures[0].colour = 0x2080F0;
        const QString kel = m_dir.filePath("sheet-compare");
        saveAnimation(saved, kel.toStdString());
        ExportCommand command(nullptr);
        SheetOptionsForm& form = command.sheetOptions();

        const struct {
            QStringList cliOptions;
            bool merge;
            bool trim;
            int columns;
            int resize;
            int superSample;
        } cases[] = {
            {{}, false, false, 0, 100, 2},
            {{"--merge-repeats", "--trim", "--columns", "2", "--resize", "150", "--supersample",
              "1"},
             true,
             true,
             2,
             150,
             1},
            {{"--columns", "5", "--resize", "50"}, false, false, 5, 50, 2},
        };
        for (const auto& c : cases) {
            QVERIFY(
                !runCli(QStringList{"sheet", kel + ".kel", "-o", out("anim.png")} + c.cliOptions)
                     .isEmpty());
            const QByteArray cliPng = contents(out("anim.png"));
            const QByteArray cliJson = contents(out("anim.json"));
            QVERIFY(cliPng.startsWith("\x89PNG"));
            QVERIFY(cliJson.contains("\"frames\""));
            QVERIFY(QFile::remove(out("anim.png")));
            QVERIFY(QFile::remove(out("anim.json")));

            const QString written = runExport(
                command, doc, ExportCommand::SpriteSheet, out("anim.png"), [&](QWidget* w) {
                    QCOMPARE(w, static_cast<QWidget*>(&form));
                    QCOMPARE(w->windowTitle(), QString("Sprite Sheet Options"));
                    form.mergeRepeatsBox()->setChecked(c.merge);
                    form.trimBox()->setChecked(c.trim);
                    form.columnsEdit()->setValue(c.columns);
                    form.resizeEdit()->setValue(c.resize);
                    form.superSampleEdit()->setValue(c.superSample);
                });
            QVERIFY2(written.startsWith("Exported " + QString::number(doc.frameCount()) +
                                        " frames to anim.png (") &&
                         written.endsWith(") and anim.json"),
                     qPrintable(written));
            QVERIFY(contents(out("anim.png")) == cliPng);
            QVERIFY(contents(out("anim.json")) == cliJson);
            QCOMPARE(filesIn(*m_out), (QStringList{"anim.json", "anim.png"}));
            QVERIFY(QFile::remove(out("anim.png")));
            QVERIFY(QFile::remove(out("anim.json")));
        }
        QCOMPARE(form.columnsEdit()->text(), QString("5"));
        form.columnsEdit()->setValue(0);
        QCOMPARE(form.columnsEdit()->text(), QString("Automatic"));

        // Cancel in the options window: nothing written, no status line.
        m_prompter.saveNames.push_back(out("none.png"));
        m_prompter.saveFilters.push_back(ExportCommand::SpriteSheet);
        QObject context;
        bool cancelled = false;
        whenModal(&context, [&](QWidget* window) {
            QCOMPARE(window, static_cast<QWidget*>(&form));
            form.cancelButton()->click();
            cancelled = true;
        });
        QCOMPARE(command.exportAnimation(doc, 80), QString());
        QVERIFY(cancelled);
        QCOMPARE(filesIn(*m_out), QStringList());

        // An existing description counts as a file the export would replace.
        QFile existing(out("keep.json"));
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("keep");
        existing.close();
        m_prompter.saveNames.push_back(out("keep"));
        m_prompter.saveFilters.push_back(ExportCommand::SpriteSheet);
        m_prompter.answers.push_back(Answer::No);
        QCOMPARE(command.exportAnimation(doc, 80), QString());
        QCOMPARE(m_prompter.questions.size(), 1);
        QCOMPARE(filesIn(*m_out), QStringList{"keep.json"});
        QCOMPARE(contents(out("keep.json")), QByteArray("keep"));
    }

    void svgCommandsWriteTheEditedFrame() {
        const Document doc = makeDocument(3);
        const Figures edit = doc.newEditFrame();
        m_prompter.saveNames.push_back(out("pose.svg"));
        const QString written = saveSvgCommand(doc, edit, -1, SvgOnions{}, false);
        QCOMPARE(written, out("pose.svg"));
        const QString text = QString::fromUtf8(contents(written));
        const QStringList lines = text.split("\r\n", Qt::SkipEmptyParts);
        QVERIFY(lines.first().startsWith("<svg "));
        QCOMPARE(lines.filter("<g id=\"figure0\" opacity=\"1\">").size(), 1);
        QCOMPARE(lines.filter("<line ").size(), 11);
        QCOMPARE(lines.filter("<circle ").size(), 1);
        QCOMPARE(lines.last(), QString("</svg>"));

        // With handles: the main handle and one per movable segment are added.
        m_prompter.saveNames.push_back(out("handles.svg"));
        saveSvgCommand(doc, edit, -1, SvgOnions{}, true);
        const QString handles = QString::fromUtf8(contents(out("handles.svg")));
        QVERIFY(handles.count("<circle ") > 1);
        QVERIFY(handles.contains("fill:rgb(255,136,0)"));

        // Cancelled: nothing; an unwritable target: reported, not thrown.
        QCOMPARE(saveSvgCommand(doc, edit, -1, SvgOnions{}, true), QString());
        m_prompter.saveNames.push_back(out("missing/folder/x.svg"));
        QCOMPARE(saveSvgCommand(doc, edit, -1, SvgOnions{}, true), QString());
        QCOMPARE(m_reported.size(), 1);
        m_reported.clear();
    }

    void captionsFollowTheLanguage() {
        QFile language(multiLang().languagesFolder() + "Deutsch.ini");
        QDir().mkpath(multiLang().languagesFolder());
        QVERIFY(language.open(QIODevice::WriteOnly));
        language.write("[Language]\nPFormCap=Speichern\nGFormCap=GIF-Optionen\nVCompress=Packen\n"
                       "ExFormCap=Optionen für %1\nExMp4=MP4-Video\nExWebM=WebM-Video\n"
                       "ExLoop=Endlos\nExSheet=Sprite-Sheet\nExColumns=Spalten\n");
        language.close();
        ExportCommand command(nullptr);
        QVERIFY(multiLang().setLanguage("Deutsch"));
        command.applyLanguage();
        QCOMPARE(command.progressForm().windowTitle(), QString("Speichern"));
        QCOMPARE(command.gifOptions().windowTitle(), QString("GIF-Optionen"));
        QCOMPARE(command.aviOptions().compressBox()->text(), QString("Packen"));
        QCOMPARE(command.imageOptions().windowTitle(), QString("Save as Images Options"));
        QCOMPARE(command.videoOptions().windowTitle(), QString("Optionen für MP4-Video"));
        QCOMPARE(command.videoOptions().loopBox()->text(), QString("Endlos"));
        QVERIFY(ExportCommand::dialogFilter().contains("WebM-Video (*.webm)"));
        QVERIFY(ExportCommand::dialogFilter().endsWith(";;Sprite-Sheet (*.png)"));
        QCOMPARE(command.sheetOptions().windowTitle(), QString("Optionen für Sprite-Sheet"));
        QVERIFY(multiLang().setLanguage("English"));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
