#include "ui/result_list.h"

#include <QAction>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QToolTip>

#include "crawl/result_list_order.h"
#include "registry/link_statistics.h"

namespace quill::ui {

namespace {

constexpr int kUrlRole = Qt::UserRole;
constexpr int kReferrerRole = Qt::UserRole + 1;
const std::string kReferrerMark = " <- ";

// Only what a web browser shows is handed to the desktop: no mailto:, javascript: and the like.
bool BrowserCanOpen(const QString& url) {
    const QString scheme = QUrl(url).scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
           scheme == QLatin1String("file");
}

QAction* NewAction(const char* name, const QString& text, QWidget* parent) {
    auto* action = new QAction(text, parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

}  // namespace

UrlOpener DesktopUrlOpener() {
    return [](const QUrl& url) { QDesktopServices::openUrl(url); };
}

QStringList EntryDetails(const QString& url) {
    const std::string key = url.toStdString();
    QStringList lines{url};
    const std::string reason = LinkStatistics::ReasonOf(key);
    if (!reason.empty()) {
        lines.append(QString::fromStdString(reason));
    }
    for (const auto* times : {&LinkStatistics::ValidLinks(), &LinkStatistics::BrokenLinks()}) {
        if (times->Contains(key)) {
            lines.append(QStringLiteral("Load time: %1 s").arg(times->At(key)));
        }
    }
    for (const std::string& referrer : LinkStatistics::ReferrersOf(key)) {
        if (!referrer.empty()) {
            lines.append(QStringLiteral("Referred to by ") + QString::fromStdString(referrer));
        }
    }
    return lines;
}

ResultList::ResultList(QWidget* parent)
    : QListWidget(parent),
      openUrl_(DesktopUrlOpener()),
      copyUrl_(NewAction("actCopyUrl", QStringLiteral("Copy URL"), this)),
      copyReferrer_(NewAction("actCopyReferrer", QStringLiteral("Copy referrer"), this)),
      copyLine_(NewAction("actCopyLine", QStringLiteral("Copy line"), this)),
      openUrlAction_(NewAction("actOpenUrl", QStringLiteral("Open in web browser"), this)),
      openReferrer_(
          NewAction("actOpenReferrer", QStringLiteral("Open referrer in web browser"), this)) {
    setSortingEnabled(false);
    // Every entry is measured, so the list scrolls as wide as its widest entry; laid out in
    // batches so a long list stays responsive.
    setUniformItemSizes(false);
    setLayoutMode(QListView::Batched);
    setTextElideMode(Qt::ElideNone);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    copyLine_->setShortcut(QKeySequence::Copy);

    connect(copyUrl_, &QAction::triggered, this, [this] { CopyRows(&ResultList::UrlOf); });
    connect(copyReferrer_, &QAction::triggered, this,
            [this] { CopyRows(&ResultList::ReferrerOf); });
    connect(copyLine_, &QAction::triggered, this,
            [this] { CopyRows([](const QListWidgetItem* item) { return item->text(); }); });
    connect(openUrlAction_, &QAction::triggered, this, [this] {
        if (currentItem() != nullptr) {
            Open(UrlOf(currentItem()));
        }
    });
    connect(openReferrer_, &QAction::triggered, this, [this] {
        if (currentItem() != nullptr) {
            Open(ReferrerOf(currentItem()));
        }
    });
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { Open(UrlOf(item)); });
    connect(this, &QListWidget::currentItemChanged, this, [this] { UpdateActions(); });
    connect(this, &QListWidget::itemSelectionChanged, this, [this] { UpdateActions(); });
    UpdateActions();
}

void ResultList::AddEntry(const std::string& entry) {
    // After every entry that does not sort after the new one (binary search), so the list keeps
    // the order the command line uses.
    int low = 0;
    int high = count();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (ResultListLess(entry, item(mid)->text().toStdString())) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    auto* row = new QListWidgetItem(QString::fromStdString(entry));
    const std::size_t mark = entry.find(kReferrerMark);
    if (mark != std::string::npos) {
        row->setData(kUrlRole, QString::fromStdString(entry.substr(0, mark)));
        row->setData(kReferrerRole,
                     QString::fromStdString(entry.substr(mark + kReferrerMark.size())));
    }
    insertItem(low, row);
}

QString ResultList::UrlOf(const QListWidgetItem* item) {
    const QVariant url = item->data(kUrlRole);
    return url.isValid() ? url.toString() : item->text();
}

QString ResultList::ReferrerOf(const QListWidgetItem* item) {
    const QVariant referrer = item->data(kReferrerRole);
    if (referrer.isValid()) {
        return referrer.toString();
    }
    const std::vector<std::string> referrers =
        LinkStatistics::ReferrersOf(UrlOf(item).toStdString());
    return referrers.empty() ? QString() : QString::fromStdString(referrers.front());
}

bool ResultList::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QListWidgetItem* row = itemAt(help->pos());
        if (row == nullptr) {
            QToolTip::hideText();
            event->ignore();
            return true;
        }
        // Rich text with every line escaped, so no URL is ever read as markup.
        QStringList lines = EntryDetails(UrlOf(row));
        for (QString& line : lines) {
            line = line.toHtmlEscaped();
        }
        QToolTip::showText(help->globalPos(),
                           QStringLiteral("<p style=\"white-space:pre\">") +
                               lines.join(QStringLiteral("<br>")) + QStringLiteral("</p>"),
                           viewport(), visualItemRect(row));
        return true;
    }
    return QListWidget::viewportEvent(event);
}

void ResultList::contextMenuEvent(QContextMenuEvent* event) {
    if (QListWidgetItem* row = itemAt(viewport()->mapFromGlobal(event->globalPos()))) {
        if (!row->isSelected()) {
            setCurrentItem(row);
        }
    }
    UpdateActions();
    QMenu menu(this);
    menu.addActions({copyUrl_, copyReferrer_, copyLine_});
    menu.addSeparator();
    menu.addActions({openUrlAction_, openReferrer_});
    menu.exec(event->globalPos());
}

void ResultList::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        copyLine_->trigger();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentItem() != nullptr) {
        openUrlAction_->trigger();
        return;
    }
    QListWidget::keyPressEvent(event);
}

QList<QListWidgetItem*> ResultList::ChosenRows() const {
    QList<QListWidgetItem*> rows = selectedItems();
    if (rows.isEmpty() && currentItem() != nullptr) {
        rows.append(currentItem());
    }
    std::sort(rows.begin(), rows.end(),
              [this](QListWidgetItem* a, QListWidgetItem* b) { return row(a) < row(b); });
    return rows;
}

void ResultList::CopyRows(const std::function<QString(const QListWidgetItem*)>& text) const {
    const QList<QListWidgetItem*> rows = ChosenRows();
    if (rows.isEmpty()) {
        return;
    }
    QStringList lines;
    for (const QListWidgetItem* row : rows) {
        lines.append(text(row));
    }
    QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

void ResultList::Open(const QString& url) const {
    if (openUrl_ && BrowserCanOpen(url)) {
        openUrl_(QUrl(url));
    }
}

void ResultList::UpdateActions() {
    const bool any = !ChosenRows().isEmpty();
    for (QAction* action : {copyUrl_, copyReferrer_, copyLine_}) {
        action->setEnabled(any);
    }
    const QListWidgetItem* current = currentItem();
    openUrlAction_->setEnabled(current != nullptr && BrowserCanOpen(UrlOf(current)));
    openReferrer_->setEnabled(current != nullptr && BrowserCanOpen(ReferrerOf(current)));
}

}  // namespace quill::ui
