// The editor's autosave in one process: when the recovery file appears, what removes it, and
// how the interval in the settings turns it on and off.
#include "document/kelformat.h"
#include "document/recoveryfile.h"
#include "editor/autosave.h"
#include "gui/mainwindowfixture.h"

#include <QFile>
#include <QTest>

using namespace kelto;

class TestAutosave : public QObject {
    Q_OBJECT

private:
    testing::MainWindowFixture m_fx;

    struct Running {
        std::unique_ptr<MainWindow> window = testing::MainWindowFixture::startedWindow();
        std::unique_ptr<Autosave> autosave;
        explicit Running(const QString& folder) {
            autosave = std::make_unique<Autosave>(*window, folder.toStdString());
        }
        bool hasFile() const {
            return QFile::exists(QString::fromStdString(autosave->recoveryFile()));
        }
    };

    // Edits the canvas and records it as a step, as a finished drag does.
    static void moveAndStore(MainWindow& window) {
        window.editFigures().moveFigure(0, 4, 1);
        window.nextFrameButtonClick();
    }

private Q_SLOTS:
    void initTestCase() { m_fx.setUpOnce(); }
    void init() { m_fx.setUp(); }
    void cleanup() { m_fx.checkNothingReported(); }

    void saveNewOpenAndExitEachRemoveTheFile() {
        const QString folder = m_fx.path(QStringLiteral("recovery-clean"));
        Running run(folder);
        run.autosave->setInterval(std::chrono::milliseconds(20));
        run.autosave->start();
        QTRY_VERIFY(run.autosave->started());
        const QString file = QString::fromStdString(run.autosave->recoveryFile());
        QVERIFY(file.startsWith(folder));
        QVERIFY(!run.hasFile()); // nothing unsaved yet

        moveAndStore(*run.window);
        QTRY_VERIFY(run.hasFile());
        QTRY_COMPARE(readRecoveryFile(file.toStdString()).document.frameCount(), 1);
        m_fx.prompter.saveNames.push_back(m_fx.path(QStringLiteral("clean.kel")));
        run.window->saveDocumentAs();
        QTRY_VERIFY(!run.hasFile());

        moveAndStore(*run.window);
        QTRY_VERIFY(run.hasFile());
        m_fx.prompter.answers.push_back(Answer::No); // do not save
        run.window->newAnimation();
        QTRY_VERIFY(!run.hasFile());

        moveAndStore(*run.window);
        QTRY_VERIFY(run.hasFile());
        m_fx.prompter.answers.push_back(Answer::No);
        run.window->loadProject(m_fx.path(QStringLiteral("clean.kel")));
        QCOMPARE(run.window->document().frameCount(), 1);
        QTRY_VERIFY(!run.hasFile());

        moveAndStore(*run.window);
        QTRY_VERIFY(run.hasFile());
        const QString lock = file.chopped(int(kRecoveryExtension.size())) + ".lock";
        QVERIFY(QFile::exists(lock));
        run.autosave.reset(); // a normal end
        QVERIFY(!QFile::exists(file));
        QVERIFY(!QFile::exists(lock));
    }

    void intervalFromTheSettingsTurnsAutosaveOnAndOff() {
        appSettings().autosaveSeconds = 0;
        Running run(m_fx.path(QStringLiteral("recovery-interval")));
        run.autosave->start();
        QTRY_VERIFY(run.autosave->started());
        moveAndStore(*run.window);
        QTest::qWait(1300); // past a tick
        QVERIFY(!run.hasFile());
        appSettings().autosaveSeconds = 1;
        QTRY_VERIFY_WITH_TIMEOUT(run.autosave->writesCompleted() == 1, 5000);
        QVERIFY(run.hasFile());
        // Nothing changed since: the file is not written again.
        const int writes = run.autosave->writesCompleted();
        QTest::qWait(1300);
        QCOMPARE(run.autosave->writesCompleted(), writes);
        // Turned off with unsaved work: the old copy would only go stale, so it goes.
        appSettings().autosaveSeconds = 0;
        QTRY_VERIFY_WITH_TIMEOUT(!run.hasFile(), 5000);
    }
};

QTEST_MAIN(TestAutosave)
#include "tst_autosave.moc"
