// The browser pane of the main window: shows the page the crawl has loaded, rendered from the
// document's HTML. It fetches nothing by itself (no images, style sheets or links are loaded), so
// showing a page never touches the network or the local files it refers to; an image shows as an
// empty space of its size, never as a broken-image sign.
#pragma once

#include <QTextBrowser>
#include <string>

#include "platform/browser.h"

namespace quill::ui {

class BrowserPane final : public QTextBrowser, public platform::BrowserObserver {
    Q_OBJECT

  public:
    static constexpr const char* kHomePageResource = ":/quillorbane/home.html";

    explicit BrowserPane(QWidget* parent = nullptr);

    void ShowBlank();
    // Our own start page, shipped with the program.
    void ShowHomePage();
    // Shows a page; "about:blank" shows an empty pane.
    void ShowPage(const std::string& locationUrl, const std::string& html);

    // The address of the page on show ("about:blank" when empty), and its title.
    const QString& Location() const { return location_; }
    QString Title() const;

    void LoadCommitted(const std::string& locationUrl) override;
    void LoadCompleted(const std::string& locationUrl, const std::string& html) override;

    QVariant loadResource(int type, const QUrl& name) override;

  signals:
    // Another page (or the empty page) is on show.
    void PageShown();

  private:
    QString location_ = QStringLiteral("about:blank");
};

}  // namespace quill::ui
