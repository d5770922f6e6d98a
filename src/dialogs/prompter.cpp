#include "dialogs/prompter.h"

#include "dialogs/picturepreview.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QMessageBox>

namespace kelto {

namespace {

Prompter* g_prompter = nullptr;

QColor toQColor(uint32_t colour) {
    return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

uint32_t fromQColor(const QColor& c) {
    return uint32_t(c.red()) | (uint32_t(c.green()) << 8) | (uint32_t(c.blue()) << 16);
}

} // namespace

Answer QtPrompter::ask(const QString& text, bool withCancel, QuestionCaption caption) {
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::No;
    if (withCancel) {
        buttons |= QMessageBox::Cancel;
    }
    // With Cancel offered (the save question on closing) an accidental Enter keeps the window.
    const QMessageBox::StandardButton defaultButton =
        withCancel ? QMessageBox::Cancel : QMessageBox::Yes;
    const auto result = caption == QuestionCaption::Information
                            ? QMessageBox::question(m_parent, QStringLiteral("Information"), text,
                                                    buttons, defaultButton)
                            : QMessageBox::warning(m_parent, QStringLiteral("Warning"), text,
                                                   buttons, defaultButton);
    if (result == QMessageBox::Yes) {
        return Answer::Yes;
    }
    return result == QMessageBox::No ? Answer::No : Answer::Cancel;
}

void QtPrompter::tell(const QString& text) {
    QMessageBox::information(m_parent, QStringLiteral("Kelto Animator"), text);
}

void QtPrompter::inform(const QString& text) {
    QMessageBox::information(m_parent, QStringLiteral("Information"), text);
}

QStringList QtPrompter::openFileNames(const QString& caption, const QString& folder,
                                      const QString& filter, bool multiple, bool picturePreview) {
    if (!picturePreview) {
        if (multiple) {
            return QFileDialog::getOpenFileNames(m_parent, caption, folder, filter);
        }
        const QString name = QFileDialog::getOpenFileName(m_parent, caption, folder, filter);
        return name.isEmpty() ? QStringList{} : QStringList{name};
    }
    // Qt's own dialog, so a preview pane can sit beside the file list.
    QFileDialog dialog(m_parent, caption, folder, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    auto* preview = new PicturePreview(&dialog);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(preview, 0, grid->columnCount(), grid->rowCount(), 1, Qt::AlignTop);
    }
    // Room for the file list's columns beside the preview.
    dialog.resize(dialog.sizeHint().expandedTo(QSize(800, 460)));
    QObject::connect(&dialog, &QFileDialog::currentChanged, preview,
                     [preview](const QString& path) { preview->showFile(path); });
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.selectedFiles();
}

QString QtPrompter::saveFileName(const QString& caption, const QString& folder,
                                 const QString& filter, const QString& defaultSuffix,
                                 int* selectedFilter) {
    QFileDialog dialog(m_parent, caption, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    // Replacing a file is asked by the commands themselves, in the program's own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    if (selectedFilter) {
        *selectedFilter =
            static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter()));
    }
    return dialog.selectedFiles().first();
}

std::optional<uint32_t> QtPrompter::chooseColour(uint32_t initial) {
    const QColor chosen = QColorDialog::getColor(toQColor(initial), m_parent);
    if (!chosen.isValid()) {
        return std::nullopt;
    }
    return fromQColor(chosen);
}

Prompter& prompter() {
    static QtPrompter fallback;
    return g_prompter ? *g_prompter : fallback;
}

void setPrompter(Prompter* p) {
    g_prompter = p;
}

} // namespace kelto
