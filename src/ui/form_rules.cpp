#include "ui/form_rules.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

#include "scope/visit_control.h"

namespace quill::ui {

QString BaseURLOf(const QString& startUrl) {
    return QString::fromStdString(VisitControl::BaseURLOf(startUrl.toStdString()));
}

std::optional<int> ToWholeNumber16(const QString& text) {
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?\\s*$"));
    if (!number.match(text).hasMatch()) {
        return std::nullopt;
    }
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) {
        return std::nullopt;
    }
    // nearbyint rounds in the default mode, to nearest with ties to even.
    const double whole = std::nearbyint(value);
    if (whole < -32768.0 || whole > 32767.0) {
        return std::nullopt;
    }
    return static_cast<int>(whole);
}

int ShowTipsNumber(const QVariant& stored) {
    if (!stored.isValid()) {
        return 1;
    }
    return ToWholeNumber16(stored.toString()).value_or(1);
}

}  // namespace quill::ui
