#pragma once

#include "builder/buildercanvas.h"
#include "builder/figurebuilderform.h"
#include "document/document.h"
#include "gui/scriptedprompter.h"
#include "report/errorreporter.h"

#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace kelto::testing {

// One shown builder window over a fresh document per test, with scripted answers and the error
// reporter recording instead of showing.
struct BuilderFixture {
    QTemporaryDir dir;
    ScriptedPrompter prompt;
    std::vector<std::string> reported;
    std::unique_ptr<Document> doc;
    std::unique_ptr<FigureBuilderForm> form;

    void setUpOnce() {
        qputenv("KELTO_CONFIG_DIR", dir.filePath("config").toUtf8());
        ErrorReporter::instance().setDisplayHook(
            [this](const std::string& line) { reported.push_back(line); });
        setPrompter(&prompt);
    }

    void start() {
        prompt = ScriptedPrompter{};
        reported.clear();
        doc = std::make_unique<Document>();
        form = std::make_unique<FigureBuilderForm>(*doc);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void stop() {
        form.reset();
        doc.reset();
    }

    QWidget* canvas() const { return form->canvas(); }

    void click(QPoint p) const {
        QTest::mousePress(canvas(), Qt::LeftButton, {}, p);
        QTest::mouseRelease(canvas(), Qt::LeftButton, {}, p);
    }

    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers mods = {}) const {
        QTest::mousePress(canvas(), Qt::LeftButton, mods, from);
        QTest::mouseMove(canvas(), QPoint((from.x() + to.x()) / 2, (from.y() + to.y()) / 2));
        QTest::mouseMove(canvas(), to);
        QTest::mouseRelease(canvas(), Qt::LeftButton, mods, to);
    }

    // Adds a line (or circle) from the handle under `from` to the point `to`.
    void addSegment(QPoint from, QPoint to, bool circle = false) const {
        if (circle) {
            form->circleButtonClick();
        } else {
            form->lineButtonClick();
        }
        click(from);
        click(to);
    }

    QPoint jointAt(int j) const {
        const PointF p = form->figure().joint(j);
        return QPoint(int(std::lround(p.x)), int(std::lround(p.y)));
    }

    const Segment& selectedSegment() const {
        return form->workingType().segments[size_t(form->selectedSegment())];
    }

    // 0x00RRGGBB of the off-screen canvas.
    uint32_t pixel(int x, int y) const { return form->canvasBitmap().pixel32(x, y); }
};

} // namespace kelto::testing
