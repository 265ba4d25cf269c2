// Helpers shared by the window tests: the stored tips setting, temporary tips files, and finding a
// window's controls by name.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QListWidget>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <ostream>

// Readable QString values in test failures.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '{';
    for (qsizetype i = 0; i < list.size(); ++i) {
        *out << (i > 0 ? ", " : "") << '"' << list[i].toStdString() << '"';
    }
    *out << '}';
}

namespace quill::ui::testing {

inline QSettings TestSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Quillorbane"),
                     QStringLiteral("Quillorbane"));
}

// Stores the text as the "Show Tips at Startup" value; a null string removes it.
inline void StoreShowTips(const QString& value) {
    QSettings settings = TestSettings();
    if (value.isNull()) {
        settings.remove(QStringLiteral("Options/Show Tips at Startup"));
    } else {
        settings.setValue(QStringLiteral("Options/Show Tips at Startup"), value);
    }
    settings.sync();
}

// A tips file with exactly these bytes, in a directory of its own.
class TipsFile {
  public:
    explicit TipsFile(const QByteArray& content) {
        QFile file(Path());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QString Path() const { return dir_.filePath(QStringLiteral("QuillorbaneTips.txt")); }
    // A path in the same directory where no file lies.
    QString MissingPath() const {
        return dir_.filePath(QStringLiteral("missing/QuillorbaneTips.txt"));
    }

  private:
    QTemporaryDir dir_;
};

template <typename Widget>
Widget* Control(const QWidget* window, const char* name) {
    Widget* widget = window->findChild<Widget*>(QString::fromLatin1(name));
    EXPECT_NE(widget, nullptr) << "no control " << name;
    return widget;
}

// The object names of `count` tab stops from `first` on, in the window's focus order (widgets
// that take no keyboard focus are passed over; disabled ones are kept).
inline QStringList TabStopNames(QWidget* first, int count) {
    QStringList names;
    QWidget* widget = first;
    while (names.size() < count) {
        names.append(widget->objectName());
        do {
            widget = widget->nextInFocusChain();
        } while (widget != first && !(widget->focusPolicy() & Qt::TabFocus));
        if (widget == first) {
            break;
        }
    }
    return names;
}

// The entries of a list control, top to bottom.
inline QStringList Entries(const QListWidget* list) {
    QStringList entries;
    for (int i = 0; i < list->count(); ++i) {
        entries.append(list->item(i)->text());
    }
    return entries;
}

// Runs the deletions that closed windows have asked for.
inline void RunDeferredDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

}  // namespace quill::ui::testing
