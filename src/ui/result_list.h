// One of the main window's three result lists: entries kept in the command line's order, scrolled
// as wide as the widest entry, a tooltip with each URL's reason, load time and referrers, and a
// context menu that copies or opens the URL and its referrer.
#pragma once

#include <QListWidget>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <string>

class QAction;

namespace quill::ui {

// Opens a URL in the desktop's web browser.
using UrlOpener = std::function<void(const QUrl&)>;
UrlOpener DesktopUrlOpener();

// What the tooltip of an entry says, one line each: the URL, the reason of its verdict (when one
// was kept), its load time (for a URL that was loaded) and every page that refers to it. Read from
// the link registry when asked, so referrers found later show too.
QStringList EntryDetails(const QString& url);

class ResultList final : public QListWidget {
    Q_OBJECT

  public:
    explicit ResultList(QWidget* parent = nullptr);

    void SetUrlOpener(UrlOpener opener) { openUrl_ = std::move(opener); }

    // Adds an entry, "URL" or "URL <- referrer", after every entry that does not sort after it.
    void AddEntry(const std::string& entry);

    // The URL of a row, and the page that referred to it ("" for none).
    static QString UrlOf(const QListWidgetItem* item);
    static QString ReferrerOf(const QListWidgetItem* item);

  protected:
    bool viewportEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // The selected rows top to bottom; the current row when none is selected.
    QList<QListWidgetItem*> ChosenRows() const;
    // Puts one text per chosen row on the clipboard, a line each.
    void CopyRows(const std::function<QString(const QListWidgetItem*)>& text) const;
    void Open(const QString& url) const;
    void UpdateActions();

    UrlOpener openUrl_;
    QAction* copyUrl_;
    QAction* copyReferrer_;
    QAction* copyLine_;
    QAction* openUrlAction_;
    QAction* openReferrer_;
};

}  // namespace quill::ui
