#include "ui/browser_pane.h"

#include <QFile>
#include <QImage>
#include <QTextDocument>

namespace quill::ui {

BrowserPane::BrowserPane(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setOpenExternalLinks(false);
}

void BrowserPane::ShowBlank() {
    location_ = QStringLiteral("about:blank");
    clear();
    emit PageShown();
}

void BrowserPane::ShowHomePage() {
    QFile page(QString::fromLatin1(kHomePageResource));
    if (!page.open(QIODevice::ReadOnly)) {
        ShowBlank();
        return;
    }
    location_ = QStringLiteral("qrc") + QString::fromLatin1(kHomePageResource);
    setHtml(QString::fromUtf8(page.readAll()));
    emit PageShown();
}

void BrowserPane::ShowPage(const std::string& locationUrl, const std::string& html) {
    if (locationUrl == "about:blank") {
        ShowBlank();
        return;
    }
    location_ = QString::fromStdString(locationUrl);
    setHtml(QString::fromStdString(html));
    emit PageShown();
}

QString BrowserPane::Title() const {
    return document()->metaInformation(QTextDocument::DocumentTitle);
}

void BrowserPane::LoadCommitted(const std::string& /*locationUrl*/) {
    // As in any browser, the page on show stays until the next one is whole.
}

void BrowserPane::LoadCompleted(const std::string& locationUrl, const std::string& html) {
    ShowPage(locationUrl, html);
}

QVariant BrowserPane::loadResource(int type, const QUrl& /*name*/) {
    if (type == QTextDocument::ImageResource) {
        // A transparent image keeps the room the page gives the image; an empty answer would be
        // drawn as a broken image.
        QImage none(1, 1, QImage::Format_ARGB32);
        none.fill(Qt::transparent);
        return none;
    }
    // An empty answer, not a null one: for a null answer the document would read local files
    // itself.
    return QVariant(QByteArray());
}

}  // namespace quill::ui
