#include "pickers/pickerwindow.h"

#include "pickers/imageselector.h"
#include "report/errorreporter.h"
#include "settings/multilang.h"

#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace kelto {

PickerWindow::PickerWindow(PhraseType caption, QWidget* parent)
    : QWidget(parent, Qt::Tool), m_caption(caption) {
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->setWidgetResizable(false);
    m_selector = new ImageSelector;
    m_selector->setColour(palette().color(QPalette::Window));
    m_scroll->setWidget(m_selector);
    m_scroll->viewport()->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scroll);

    m_selectBox = new QFrame(m_selector);
    m_selectBox->setFrameShape(QFrame::Box);
    m_selectBox->setLineWidth(1);
    m_selectBox->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_selectBox->resize(65, 65);
    m_selectBox->hide();

    connect(m_selector, &ImageSelector::cellPressed, this, &PickerWindow::cellPressed);
    connect(m_selector, &ImageSelector::released, m_selectBox, &QWidget::hide);
    connect(m_selector, &ImageSelector::hovered, this, &PickerWindow::hovered);

    resize(308, 260);
    m_selector->setPickerWidth(308 - 16);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().center() - rect().center());
    }
    applyLanguage();
}

void PickerWindow::applyLanguage() {
    setWindowTitle(getPhrase(m_caption));
}

void PickerWindow::cellPressed(int index, Qt::KeyboardModifiers modifiers) {
    guarded("PickerMouseDown", [&] {
        if (index < 0) {
            return;
        }
        m_lastPressed = index;
        if (m_pick) {
            m_pick(index);
        }
        if (modifiers & Qt::ControlModifier) {
            const Rect r = m_selector->cellRect(index);
            m_selectBox->setGeometry(r.left - 4, r.top - 4, r.width() + 8, r.height() + 8);
            m_selectBox->raise();
            m_selectBox->show();
        } else {
            hide();
        }
    });
}

void PickerWindow::hovered(int index) {
    if (index >= 0) {
        m_selector->setToolTip(m_selector->caption(index));
    } else {
        m_selector->setToolTip(QString());
        QToolTip::hideText();
    }
}

void PickerWindow::wheelScroll(int angleDelta) {
    QScrollBar* bar = m_scroll->verticalScrollBar();
    if (!bar->isVisible() && bar->maximum() == 0) {
        return;
    }
    bar->setValue(bar->value() - (angleDelta / 120) * 50);
}

bool PickerWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_scroll->viewport()) {
        if (event->type() == QEvent::Resize) {
            m_selector->setPickerWidth(m_scroll->viewport()->width());
        } else if (event->type() == QEvent::Wheel) {
            wheelScroll(static_cast<QWheelEvent*>(event)->angleDelta().y());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kelto
