#include "dialogs/progressform.h"

#include "settings/multilang.h"

#include <QCoreApplication>
#include <QHideEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace kelto {

ProgressForm::ProgressForm(QWidget* parent) : QDialog(parent, Qt::Tool) {
    setObjectName(QStringLiteral("ProgressForm"));
    // Shown without blocking while an options window is modal: it must stay the one window
    // that takes input, so it is modal itself.
    setWindowModality(Qt::ApplicationModal);
    setCursor(Qt::WaitCursor);
    m_bar = new QProgressBar(this);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setMinimumWidth(260);
    m_cancel = new QPushButton(this);
    m_cancel->setCursor(Qt::ArrowCursor);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancel, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(m_cancel, &QPushButton::clicked, this, &QWidget::hide);
    applyLanguage();
}

void ProgressForm::applyLanguage() {
    setWindowTitle(getPhrase(PhraseType::PFormCap));
    m_cancel->setText(getPhrase(PhraseType::CancelBitCap));
}

void ProgressForm::setProgress(int percent) {
    m_bar->setValue(std::clamp(percent, 0, 100));
    Q_EMIT progressed(percent);
}

bool ProgressForm::cancelled() {
    QCoreApplication::processEvents();
    return m_cancelled;
}

void ProgressForm::hideEvent(QHideEvent* event) {
    // Minimising the program is no reason to stop an export.
    if (!event->spontaneous()) {
        m_bar->setValue(0);
        m_cancelled = true;
    }
    QDialog::hideEvent(event);
}

} // namespace kelto
