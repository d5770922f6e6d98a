#include "dialogs/spinedit.h"

#include <QSpinBox>

#include <algorithm>

namespace kelto {

int sanitizeSpinEdit(QSpinBox& box, int defaultValue) {
    const QString text = box.cleanText().trimmed();
    int value = defaultValue;
    if (!text.isEmpty() && !text.startsWith(u'-') && !text.startsWith(u'.') &&
        !text.startsWith(u'e', Qt::CaseInsensitive)) {
        bool ok = false;
        const qlonglong typed = text.toLongLong(&ok);
        if (ok) {
            value = static_cast<int>(std::clamp<qlonglong>(typed, box.minimum(), box.maximum()));
        }
    }
    value = std::clamp(value, box.minimum(), box.maximum());
    box.setValue(value);
    return value;
}

} // namespace kelto
