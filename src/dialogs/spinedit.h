#pragma once

class QSpinBox;

namespace kelto {

// Makes a numeric field's text a valid value before it is used: text that is empty or starts
// with "-", "." or "e" becomes defaultValue, other numbers are clamped into the field's range.
// Returns the resulting value.
int sanitizeSpinEdit(QSpinBox& box, int defaultValue);

} // namespace kelto
