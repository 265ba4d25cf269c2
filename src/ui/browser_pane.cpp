#include "ui/browser_pane.h"

#include <QFile>

namespace quill::ui {

BrowserPane::BrowserPane(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

void BrowserPane::ShowBlank() {
    location_ = QStringLiteral("about:blank");
    clear();
}

void BrowserPane::ShowHomePage() {
    QFile page(QString::fromLatin1(kHomePageResource));
    if (!page.open(QIODevice::ReadOnly)) {
        ShowBlank();
        return;
    }
    location_ = QStringLiteral("qrc") + QString::fromLatin1(kHomePageResource);
    setHtml(QString::fromUtf8(page.readAll()));
}

void BrowserPane::ShowPage(const std::string& locationUrl, const std::string& html) {
    if (locationUrl == "about:blank") {
        ShowBlank();
        return;
    }
    location_ = QString::fromStdString(locationUrl);
    setHtml(QString::fromStdString(html));
}

void BrowserPane::LoadCommitted(const std::string& /*locationUrl*/) {
    // As in any browser, the page on show stays until the next one is whole.
}

void BrowserPane::LoadCompleted(const std::string& locationUrl, const std::string& html) {
    ShowPage(locationUrl, html);
}

QVariant BrowserPane::loadResource(int /*type*/, const QUrl& /*name*/) {
    // An empty answer, not a null one: for a null answer the document would read local files
    // itself.
    return QVariant(QByteArray());
}

}  // namespace quill::ui
