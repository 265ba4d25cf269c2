#include "ui/tips_setting.h"

#include <QSettings>

#include "ui/form_rules.h"

namespace quill::ui {

namespace {

const QString kKey = QStringLiteral("Options/Show Tips at Startup");

QSettings ApplicationSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillorbane"),
                     QStringLiteral("Quillorbane"));
}

}  // namespace

int ReadShowTipsAtStartup() {
    return ShowTipsNumber(ApplicationSettings().value(kKey));
}

void WriteShowTipsAtStartup(bool show) {
    QSettings settings = ApplicationSettings();
    settings.setValue(kKey, show ? QStringLiteral("1") : QStringLiteral("0"));
    settings.sync();
}

QString StoredShowTipsAtStartup() {
    const QVariant stored = ApplicationSettings().value(kKey);
    return stored.isValid() ? stored.toString() : QString();
}

}  // namespace quill::ui
