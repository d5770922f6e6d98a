#include "dialogs/avicompressiondialog.h"

#include "settings/multilang.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelto {

AviCompressionDialog::AviCompressionDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("AviCompressionDialog"));
    m_list = new QListWidget(this);
    m_ok = new QPushButton(this);
    m_cancel = new QPushButton(this);
    m_ok->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    connect(m_list, &QListWidget::currentRowChanged, this,
            [this](int row) { m_ok->setEnabled(row >= 0); });
    m_ok->setEnabled(false);
    applyLanguage();
}

void AviCompressionDialog::applyLanguage() {
    setWindowTitle(QStringLiteral("Video Compression"));
    m_ok->setText(getPhrase(PhraseType::OKBitCap));
    m_cancel->setText(getPhrase(PhraseType::CancelBitCap));
}

void AviCompressionDialog::setCodecs(const std::vector<AviCodec>& codecs) {
    const std::string chosen = chosenCodec();
    m_codecs = codecs;
    m_list->clear();
    int select = m_codecs.empty() ? -1 : 0;
    for (size_t i = 0; i < m_codecs.size(); ++i) {
        m_list->addItem(QString::fromStdString(m_codecs[i].label));
        if (m_codecs[i].name == chosen) {
            select = static_cast<int>(i);
        }
    }
    m_list->setCurrentRow(select);
    m_ok->setEnabled(select >= 0);
}

std::string AviCompressionDialog::chosenCodec() const {
    const int row = m_list->currentRow();
    if (row < 0 || row >= static_cast<int>(m_codecs.size())) {
        return {};
    }
    return m_codecs[size_t(row)].name;
}

} // namespace kelto
