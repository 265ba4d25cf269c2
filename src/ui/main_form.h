// The main window: start and base URL, Start/Stop, Report, Tips and About, the option boxes, the
// excluded extensions, time-out and depth, the three result lists with their counters, the
// document line, the browser pane and the status line. It is the crawl's front end: the crawl reads
// and writes these widgets through CrawlFrontEnd and runs inside the Start button's click, serving
// the window's events while it waits.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "crawl/crawl.h"
#include "crawl/crawl_front_end.h"
#include "platform/browser.h"
#include "platform/clock.h"
#include "ui/about_window.h"
#include "ui/qt_wait.h"
#include "ui/result_list.h"
#include "ui/tip_window.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QShortcut;

namespace quill::ui {

class BrowserPane;
class RunStatusBar;

// What the window is built with.
struct MainFormParts {
    // The day of the month decides the browser pane's first page.
    const platform::Clock& clock;
    // The crawl's collaborators around the window's own sleeper and event pump.
    std::function<CrawlServices(platform::Sleeper&, platform::EventPump&)> crawlServices;
    // Attaches the browser pane to the browser that loads the crawl's pages (nullptr detaches).
    std::function<void(platform::BrowserObserver*)> observeBrowser;
    QString tipsFilePath;
    SystemInfoLauncher systemInfo;
};

// Asks for the report file: gets the name offered, returns the chosen path, "" when cancelled.
using ReportPathChooser = std::function<QString(QWidget* parent, const QString& offeredName)>;
ReportPathChooser StandardReportPathChooser();

class MainForm final : public QWidget, public CrawlFrontEnd {
    Q_OBJECT

  public:
    static constexpr int kInitialWidth = 678;
    static constexpr int kInitialHeight = 623;

    explicit MainForm(MainFormParts parts, QWidget* parent = nullptr);
    ~MainForm() override;

    void SetReportPathChooser(ReportPathChooser chooser) { chooseReportPath_ = std::move(chooser); }
    void SetMessageBox(MessageBoxFn messageBox) { messageBox_ = std::move(messageBox); }
    // What opens a result's URL in the desktop's web browser.
    void SetUrlOpener(const UrlOpener& opener);

    // Event handlers.
    void Form_Load();
    void btnStartStop_Click();
    void btnReport_Click();
    void btnAbout_Click();
    void btnTips_Click();
    void btnAddExclExtn_Click();
    void btnClearExclExtn_Click();
    void chkUseDefExcl_Click();
    void chkExternal_Click();
    void chkMaxDepth_Click();
    void txtMaxDepth_Change();
    void txtStartURL_Change();

    const Crawl& crawl() const { return *crawl_; }
    BrowserPane& browserPane() { return *linkBrowser_; }
    // The tips and about windows while open (null otherwise).
    frmTip* tipWindow() const { return tipWindow_; }
    frmAbout* aboutWindow() const { return aboutWindow_; }
    // The name the report dialog offers next.
    const QString& offeredReportName() const { return reportName_; }

    // CrawlFrontEnd
    std::string Text(TextControl control) override;
    bool Value(CheckControl control) override;
    std::string Caption(CaptionControl control) override;
    void SetCaption(CaptionControl control, const std::string& caption) override;
    void AddToList(ListControl list, const std::string& entry) override;
    void ClearList(ListControl list) override;
    int MaximumDepth() override { return maxDepth_; }
    void ShowRunFailure(const std::string& message) override;
    void PageWalkStarted(const std::string& pageURL) override;
    void ShowRunEnd(RunEnd how) override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void BuildControls();
    void ArrangeControls();
    void SetFocusOrder();
    void ConnectHandlers();
    void OpenTipsWindow();
    // Centres a window of ours on this one.
    void CentreOnThis(QWidget* window) const;
    // A path typed as the start URL becomes its file: URL.
    void ResolveStartPath();
    void ShowPaneCaption();
    // The browser tells the pane about a page only when asked; after a run nobody else asks.
    void FollowBrowserUntilComplete();
    ResultList* ResultListOf(ListControl list) const;
    QLabel* CaptionLabel(CaptionControl control) const;

    MainFormParts parts_;
    QtSleeper sleeper_;
    QtEventPump pump_;
    platform::Browser* browser_ = nullptr;
    std::unique_ptr<Crawl> crawl_;
    ReportPathChooser chooseReportPath_;
    MessageBoxFn messageBox_;
    QString reportName_ = QStringLiteral("Quillorbane.log");
    int maxDepth_ = 0;
    bool closeAfterRun_ = false;
    // The tips opened at start-up follow the window to where the window manager first puts it.
    bool tipsFollowFirstMove_ = false;
    // Said after the run: why the start URL was left as typed.
    QString startHint_;
    QPointer<frmTip> tipWindow_;
    QPointer<frmAbout> aboutWindow_;

    // Top band
    QLabel* Label1_;
    QLineEdit* txtStartURL_;
    QPushButton* btnStartStop_;
    QPushButton* btnReport_;
    QPushButton* btnAbout_;
    QLabel* Label9_;
    QLineEdit* txtBaseURL_;
    QPushButton* btnTips_;
    // Results
    QLabel* Label2_;
    QLabel* lblNumSuccessfulLinks_;
    ResultList* lstGoodLinks_;
    QLabel* Label4_;
    QLabel* lblNumSkippedLinks_;
    ResultList* lstSkippedLinks_;
    QLabel* Label5_;
    QLabel* lblNumBrokenLinks_;
    ResultList* lstBrokenLinks_;
    // Items to check
    QGroupBox* Frame1_;
    QCheckBox* chkExternal_;
    QCheckBox* chkJSStyle_;
    QCheckBox* chkLinks_;
    QCheckBox* chkImages_;
    QCheckBox* chkApplets_;
    QCheckBox* chkFrames_;
    QCheckBox* chkForms_;
    QLabel* Label8_;
    QPushButton* btnAddExclExtn_;
    QLineEdit* txtExclExtn_;
    QListWidget* lstExclExtn_;
    QPushButton* btnClearExclExtn_;
    QCheckBox* chkUseDefExcl_;
    // Time-out and depth
    QLabel* Label6_;
    QLineEdit* txtTmOut_;
    QLabel* Label7_;
    QLabel* Label11_;
    QLineEdit* txtMaxDepth_;
    QCheckBox* chkMaxDepth_;
    // Document line
    QLabel* Label3_;
    QLabel* lblDocHref_;
    QLabel* Label10_;
    QLabel* lblDepth_;
    QLabel* lblDocTitle_;
    QLabel* lblShownPage_;
    BrowserPane* linkBrowser_;
    RunStatusBar* statusBar_;
    QShortcut* stopKey_;
};

}  // namespace quill::ui
