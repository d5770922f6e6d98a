// The main window's in-between command: the key frames it works on, its dialog with the ghost
// of the middle in-between, and the one undoable insert.
#include "dialogs/inbetweendialog.h"
#include "dialogs/prompter.h"
#include "editor/mainwindow.h"
#include "model/tween.h"
#include "report/errorreporter.h"
#include "settings/multilang.h"

#include <algorithm>

namespace kelto {

namespace {

// Takes the ghost away however the dialog ends.
struct PreviewReset {
    std::optional<Figures>& preview;
    ~PreviewReset() { preview.reset(); }
};

} // namespace

std::optional<std::pair<int, int>> MainWindow::inbetweenKeyFrames() const {
    const int frames = m_doc.frameCount();
    const std::vector<int>& selected = m_frameSelection.frames();
    if (selected.size() == 2) {
        const int a = std::min(selected[0], selected[1]);
        const int b = std::max(selected[0], selected[1]);
        if (a >= 0 && b < frames && a != b) {
            return std::pair(a, b);
        }
        return std::nullopt;
    }
    const int current = m_session.editFrameIndex();
    if (current >= 0 && current + 1 < frames) {
        return std::pair(current, current + 1);
    }
    return std::nullopt;
}

void MainWindow::openInbetweensDialog() {
    guarded("InsertInbetweens", [this] {
        stopButtonClick();
        endDrag();
        storeEditedFrame(false, false);
        const auto keys = inbetweenKeyFrames();
        if (!keys) {
            prompter().tell(getPhrase(PhraseType::MInbetweensNeedTwo));
            return;
        }
        const auto [from, to] = *keys;
        InbetweenDialog dialog(this);
        {
            const PreviewReset reset{m_inbetweenPreview};
            // The frames stay as they are while the dialog is open: it is modal.
            const TweenPlan plan(m_doc.frames[size_t(from)], m_doc.frames[size_t(to)],
                                 m_doc.figureTypes());
            auto showPreview = [&] {
                const int n = dialog.count();
                const double s = double(middleInbetween(n)) / (n + 1);
                m_inbetweenPreview = plan.frameAt(easedTime(dialog.easing(), s));
                drawFigures();
            };
            connect(&dialog, &InbetweenDialog::choiceChanged, this, showPreview);
            showPreview();
            const int result = runDialog(dialog);
            m_inbetweenPreview.reset();
            disconnect(&dialog, nullptr, this, nullptr);
            if (result != QDialog::Accepted) {
                drawFigures();
                return;
            }
        }
        // The marks go before the frames move: the list holds the numbers they have now.
        m_frameSelection.clear(m_doc.frames);
        setSelectedFrameCount(0);
        if (!m_session.insertInbetweens(from, to, dialog.count(), dialog.easing())) {
            prompter().tell(getPhrase(PhraseType::MNoMoreFrames));
        }
        showSessionFrame();
    });
}

} // namespace kelto
