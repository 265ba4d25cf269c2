// The small text rules of the windows, kept apart from the widgets so they can be tested as values:
// the base URL derived from a start URL, the whole-number reading of the depth box, and the reading
// of the stored "Show Tips at Startup" value.
#pragma once

#include <QString>
#include <QVariant>
#include <optional>

namespace quill::ui {

// The start URL up to and including its last "/" when it holds more than two, else all of it.
QString BaseURLOf(const QString& startUrl);

// A number as the depth box reads it: blanks around it allowed, a fraction rounded to the nearest
// whole number (a tie to the even one), the result within -32768..32767. Nothing when the text
// is empty, is not a number or lies outside that range.
std::optional<int> ToWholeNumber16(const QString& text);

// The stored "Show Tips at Startup" value as a number: absent or not a number counts as 1.
int ShowTipsNumber(const QVariant& stored);

}  // namespace quill::ui
