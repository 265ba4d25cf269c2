// Helpers shared by the window tests: the stored tips setting, finding a window's controls by name,
// list entries.
#pragma once

#include <gtest/gtest.h>

#include <QListWidget>
#include <QSettings>
#include <QStringList>
#include <QWidget>

namespace quill::ui::testing {

// Stores the text as the "Show Tips at Startup" value; a null string removes it.
inline void StoreShowTips(const QString& value) {
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, "Quillorbane", "Quillorbane");
    const QString key = QStringLiteral("Options/Show Tips at Startup");
    value.isNull() ? settings.remove(key) : settings.setValue(key, value);
}

template <typename Widget = QWidget>
Widget* Control(const QWidget* window, const char* name) {
    Widget* widget = window->findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << "no control " << name;
    return widget;
}

// The entries of a list control, top to bottom.
inline QStringList Entries(const QListWidget* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) {
        entries.append(list->item(i)->text());
    }
    return entries;
}

}  // namespace quill::ui::testing
