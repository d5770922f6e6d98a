// Opening a document of many figure types: the figure picker is filled in one batch and draws
// only the cells in view.
#include "dialogs/prompter.h"
#include "document/kelformat.h"
#include "editor/mainwindow.h"
#include "pickers/figurepicker.h"
#include "pickers/imageselector.h"
#include "settings/appsettings.h"
#include "settings/multilang.h"
#include "settings/settingsfile.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

using namespace kelto;

namespace {

QApplication& application() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "bench_pickers";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Answers No and cancels every choice: opening an unchanged document asks nothing.
class SilentPrompter : public Prompter {
public:
    Answer ask(const QString&, bool, QuestionCaption) override { return Answer::No; }
    void tell(const QString&) override {}
    void inform(const QString&) override {}
    QStringList openFileNames(const QString&, const QString&, const QString&, bool, bool) override {
        return {};
    }
    QString saveFileName(const QString&, const QString&, const QString&, const QString&,
                         int*) override {
        return {};
    }
    std::optional<uint32_t> chooseColour(uint32_t) override { return std::nullopt; }
};

// A document of count figure types (the two built-in ones included), each one line segment.
Document manyTypes(int count) {
    Document doc(320, 240);
    FigureType one;
    one.addSegment(0, skLine, 10, 2, 0, 0, 0);
    while (doc.figureTypeCount() < count) {
        doc.addFigureType(one, "type " + std::to_string(doc.figureTypeCount()));
    }
    doc.frames.push_back(doc.newEditFrame());
    return doc;
}

// "Open Animation" of a .kel file of state.range(0) figure types in the real main window, the
// figure picker then shown: read, picker filled, first view drawn.
void openManyFigureTypes(benchmark::State& state) {
    application();
    QTemporaryDir dir;
    qputenv("KELTO_CONFIG_DIR", dir.filePath("config").toUtf8());
    multiLang().openFolder(dir.filePath("languages"));
    SilentPrompter prompter;
    setPrompter(&prompter);
    QFile settings(settingsFilePath());
    QDir().mkpath(dir.filePath("config"));
    if (settings.open(QIODevice::WriteOnly)) {
        settings.write("[Kelto.Settings]\nLanguage=English\n");
        settings.close();
    }
    loadSettings();
    const QString path = dir.filePath("many.kel");
    {
        const std::vector<uint8_t> bytes = writeKelFile(manyTypes(int(state.range(0))));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    auto window = std::make_unique<MainWindow>();
    window->setDialogRunner([](QDialog& d) {
        d.accept();
        return int(QDialog::Accepted);
    });
    window->formActivate();
    for (auto _ : state) {
        window->loadProject(path);
        window->figurePicker()->show();
        benchmark::DoNotOptimize(window->figurePicker()->grab());
        window->figurePicker()->hide();
    }
    state.counters["cells"] = window->figurePicker()->selector()->count();
    window.reset();
    setPrompter(nullptr);
}
BENCHMARK(openManyFigureTypes)->Arg(1000)->Arg(65534)->Unit(benchmark::kMillisecond)->Iterations(3);

// Filling the picker alone with 65,533 cells and drawing the first view.
void fillFigurePicker(benchmark::State& state) {
    application();
    FigureType one;
    one.addSegment(0, skLine, 10, 2, 0, 0, 0);
    for (auto _ : state) {
        FigurePicker picker;
        for (int i = 1; i < 65534; ++i) {
            picker.addEntry(one, i, QStringLiteral("type %1").arg(i), false);
        }
        picker.selector()->relayout();
        picker.show();
        benchmark::DoNotOptimize(picker.grab());
    }
}
BENCHMARK(fillFigurePicker)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
