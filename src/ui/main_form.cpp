#include "ui/main_form.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "crawl/report_file.h"
#include "platform/start_location.h"
#include "scope/visit_control.h"
#include "ui/browser_pane.h"
#include "ui/form_rules.h"
#include "ui/result_list.h"
#include "ui/run_status.h"
#include "ui/tip_window.h"
#include "ui/tips_setting.h"

namespace quill::ui {

namespace {

QLabel* NewLabel(const char* name, const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLineEdit* NewTextBox(const char* name, const QString& text, const QString& toolTip,
                      QWidget* parent) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(toolTip);
    return box;
}

QPushButton* NewButton(const char* name, const QString& caption, const QString& toolTip,
                       QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(toolTip);
    button->setAutoDefault(false);
    return button;
}

QCheckBox* NewCheckBox(const char* name, const QString& caption, const QString& toolTip,
                       bool checked, QWidget* parent) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(toolTip);
    box->setChecked(checked);
    return box;
}

QListWidget* NewList(const char* name, const QString& toolTip, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setToolTip(toolTip);
    list->setSortingEnabled(false);
    list->setUniformItemSizes(true);
    return list;
}

ResultList* NewResultList(const char* name, QWidget* parent) {
    auto* list = new ResultList(parent);
    list->setObjectName(QString::fromLatin1(name));
    return list;
}

// A label whose long text (a URL, a page title) is cut off instead of widening the window.
void LetTextOverflow(QLabel* label) {
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(1);
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : {16, 32, 64, 256}) {
        icon.addFile(QStringLiteral(":/quillorbane/quillorbane-%1.png").arg(size),
                     QSize(size, size));
    }
    return icon;
}

}  // namespace

ReportPathChooser StandardReportPathChooser() {
    return [](QWidget* parent, const QString& offeredName) {
        return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Report"), offeredName,
                                            QStringLiteral("Reports (*.txt *.log);;All files (*)"));
    };
}

MainForm::MainForm(MainFormParts parts, QWidget* parent)
    : QWidget(parent),
      parts_(std::move(parts)),
      chooseReportPath_(StandardReportPathChooser()),
      messageBox_(StandardMessageBox()) {
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Quillorbane"));
    setWindowIcon(ApplicationIcon());
    BuildControls();
    // An empty list or pane draws no focus of its own: its frame shows where the focus is.
    setStyleSheet(QStringLiteral(
        "QListWidget:focus, QTextBrowser:focus { border: 1px solid palette(highlight); }"));
    ArrangeControls();
    SetFocusOrder();
    ConnectHandlers();
    resize(kInitialWidth, kInitialHeight);

    CrawlServices services = parts_.crawlServices(sleeper_, pump_);
    browser_ = &services.browser;
    crawl_ = std::make_unique<Crawl>(*this, std::move(services));
    if (parts_.observeBrowser) {
        parts_.observeBrowser(linkBrowser_);
    }
}

MainForm::~MainForm() {
    if (parts_.observeBrowser) {
        parts_.observeBrowser(nullptr);
    }
}

void MainForm::BuildControls() {
    Label1_ = NewLabel("Label1", QStringLiteral("Start URL"), this);
    txtStartURL_ = NewTextBox(
        "txtStartURL", QString(),
        QStringLiteral("URL to start with. Crawler will not go outside this heirarchy."), this);
    btnStartStop_ = NewButton("btnStartStop", QStringLiteral("Start"),
                              QStringLiteral("Click to start. Click to stop when running."), this);
    btnReport_ = NewButton("btnReport", QStringLiteral("Report"), QString(), this);
    btnAbout_ = NewButton("btnAbout", QStringLiteral("About"), QString(), this);
    Label9_ = NewLabel("Label9", QStringLiteral("Base URL"), this);
    txtBaseURL_ =
        NewTextBox("txtBaseURL", QString(),
                   QStringLiteral("Crawler will not go below this level in the website"), this);
    btnTips_ = NewButton("btnTips", QStringLiteral("Tips"), QString(), this);

    Label2_ = NewLabel("Label2", QStringLiteral("Successful Links"), this);
    lblNumSuccessfulLinks_ = NewLabel("lblNumSuccessfulLinks", QString(), this);
    lstGoodLinks_ = NewResultList("lstGoodLinks", this);
    Label4_ = NewLabel("Label4", QStringLiteral("Skipped Links"), this);
    lblNumSkippedLinks_ = NewLabel("lblNumSkippedLinks", QString(), this);
    lstSkippedLinks_ = NewResultList("lstSkippedLinks", this);
    Label5_ = NewLabel("Label5", QStringLiteral("Broken Links"), this);
    lblNumBrokenLinks_ = NewLabel("lblNumBrokenLinks", QString(), this);
    lstBrokenLinks_ = NewResultList("lstBrokenLinks", this);

    Frame1_ = new QGroupBox(QStringLiteral("Items to check"), this);
    Frame1_->setObjectName(QStringLiteral("Frame1"));
    chkExternal_ =
        NewCheckBox("chkExternal", QStringLiteral("External Links (one level)"),
                    QStringLiteral("Follow links outside the starting host"), true, Frame1_);
    chkJSStyle_ = NewCheckBox("chkJSStyle", QStringLiteral("Stylesheets and JavaScript Files"),
                              QStringLiteral("Check href links"), true, Frame1_);
    chkLinks_ = NewCheckBox("chkLinks", QStringLiteral("Links (including # links)"),
                            QStringLiteral("Check href links"), true, Frame1_);
    chkImages_ = NewCheckBox("chkImages", QStringLiteral("Images"),
                             QStringLiteral("Check existence of images"), true, Frame1_);
    chkApplets_ =
        NewCheckBox("chkApplets", QStringLiteral("Applets"),
                    QStringLiteral("Check existence of applet class and jar file"), true, Frame1_);
    chkFrames_ = NewCheckBox("chkFrames", QStringLiteral("Frames"),
                             QStringLiteral("Follow documents in framesets"), true, Frame1_);
    chkForms_ = NewCheckBox("chkForms", QStringLiteral("Forms"),
                            QStringLiteral("Check the action link of forms"), true, Frame1_);
    Label8_ = NewLabel("Label8", QStringLiteral("Do not process files with extension"), Frame1_);
    Label8_->setWordWrap(true);
    btnAddExclExtn_ = NewButton("btnAddExclExtn", QStringLiteral("Add"), QString(), Frame1_);
    txtExclExtn_ = NewTextBox("txtExclExtn", QString(), QString(), Frame1_);
    lstExclExtn_ = NewList(
        "lstExclExtn",
        QStringLiteral("List of extensions that will be skipped. If empty, \".exe\", \".zip\". "
                       "\".exe\", \".ram\" and \".tar\" are skipped"),
        Frame1_);
    btnClearExclExtn_ = NewButton("btnClearExclExtn", QStringLiteral("Clear"), QString(), Frame1_);
    chkUseDefExcl_ =
        NewCheckBox("chkUseDefExcl", QStringLiteral("Use Defaults"), QString(), false, Frame1_);

    Label6_ = NewLabel("Label6", QStringLiteral("Timeout after"), this);
    txtTmOut_ = NewTextBox(
        "txtTmOut", QStringLiteral("60"),
        QStringLiteral("Maximum time to wait for the page to load. Increase this if your link is "
                       "slow."),
        this);
    Label7_ = NewLabel("Label7", QStringLiteral("seconds"), this);
    Label11_ = NewLabel("Label11", QStringLiteral("Max Depth"), this);
    txtMaxDepth_ = NewTextBox("txtMaxDepth", QStringLiteral("0"), QString(), this);
    txtMaxDepth_->setEnabled(false);
    chkMaxDepth_ = NewCheckBox("chkMaxDepth", QStringLiteral("Unlimited"), QString(), true, this);

    Label3_ = NewLabel("Label3", QStringLiteral("Document"), this);
    lblDocHref_ = NewLabel("lblDocHref", QString(), this);
    LetTextOverflow(lblDocHref_);
    Label10_ = NewLabel("Label10", QStringLiteral("Depth"), this);
    lblDepth_ = NewLabel("lblDepth", QString(), this);
    lblDocTitle_ = NewLabel("lblDocTitle", QString(), this);
    LetTextOverflow(lblDocTitle_);

    // The caption of the page the pane shows, which lags behind the URL being checked.
    lblShownPage_ = NewLabel("lblShownPage", QString(), this);
    LetTextOverflow(lblShownPage_);
    linkBrowser_ = new BrowserPane(this);
    linkBrowser_->setObjectName(QStringLiteral("linkBrowser"));
    linkBrowser_->setTabChangesFocus(true);
    statusBar_ = new RunStatusBar(this);
    stopKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    stopKey_->setEnabled(false);
}

void MainForm::ArrangeControls() {
    // Top band: two rows, the URL boxes taking the extra width.
    auto* top = new QGridLayout;
    top->addWidget(Label1_, 0, 0);
    top->addWidget(txtStartURL_, 0, 1);
    top->addWidget(btnStartStop_, 0, 2);
    top->addWidget(btnReport_, 0, 3);
    top->addWidget(btnAbout_, 0, 5);
    top->addWidget(Label9_, 1, 0);
    top->addWidget(txtBaseURL_, 1, 1);
    top->addWidget(btnTips_, 1, 5);
    top->setColumnStretch(1, 4);
    top->setColumnStretch(4, 1);
    top->setColumnMinimumWidth(4, 12);
    txtStartURL_->setMinimumWidth(200);
    for (QPushButton* button : {btnStartStop_, btnReport_}) {
        button->setMinimumWidth(81);
    }
    for (QPushButton* button : {btnAbout_, btnTips_}) {
        button->setMinimumWidth(64);
    }

    // Left column: successful, skipped and broken, each a caption with its count over a list.
    auto* results = new QVBoxLayout;
    results->setSpacing(2);
    const struct {
        QLabel* caption;
        QLabel* count;
        QListWidget* list;
    } sections[] = {{Label2_, lblNumSuccessfulLinks_, lstGoodLinks_},
                    {Label4_, lblNumSkippedLinks_, lstSkippedLinks_},
                    {Label5_, lblNumBrokenLinks_, lstBrokenLinks_}};
    bool first = true;
    for (const auto& section : sections) {
        if (!first) {
            results->addSpacing(6);
        }
        first = false;
        auto* head = new QHBoxLayout;
        head->addWidget(section.caption);
        head->addSpacing(12);
        head->addWidget(section.count);
        head->addStretch(1);
        results->addLayout(head);
        // The lists share the column's height whatever their own size hints say.
        section.list->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
        section.list->setMinimumHeight(60);
        results->addWidget(section.list, 1);
        // Room for a five-digit count, so a growing count never waits for a relayout.
        section.count->setMinimumWidth(section.count->fontMetrics().horizontalAdvance("000000"));
    }

    // Right column: the items to check, then the time-out and depth rows.
    auto* checks = new QGridLayout;
    checks->setVerticalSpacing(2);
    checks->addWidget(chkExternal_, 0, 0, 1, 2);
    checks->addWidget(chkJSStyle_, 1, 0, 1, 2);
    checks->addWidget(chkLinks_, 2, 0, 1, 2);
    checks->addWidget(chkImages_, 3, 0);
    checks->addWidget(chkApplets_, 3, 1);
    checks->addWidget(chkFrames_, 4, 0);
    checks->addWidget(chkForms_, 4, 1);
    auto* exclusions = new QGridLayout;
    exclusions->setVerticalSpacing(4);
    exclusions->addWidget(btnAddExclExtn_, 0, 0);
    exclusions->addWidget(txtExclExtn_, 0, 1);
    exclusions->addWidget(lstExclExtn_, 0, 2, 3, 1);
    exclusions->addWidget(btnClearExclExtn_, 1, 0);
    exclusions->addWidget(chkUseDefExcl_, 2, 0, 1, 2, Qt::AlignTop);
    exclusions->setRowStretch(2, 1);
    exclusions->setColumnStretch(3, 1);
    btnAddExclExtn_->setMaximumWidth(56);
    btnClearExclExtn_->setMaximumWidth(56);
    txtExclExtn_->setFixedWidth(56);
    lstExclExtn_->setFixedWidth(64);
    lstExclExtn_->setFixedHeight(82);
    auto* frame = new QVBoxLayout(Frame1_);
    frame->setSpacing(4);
    frame->addLayout(checks);
    frame->addSpacing(4);
    frame->addWidget(Label8_);
    frame->addLayout(exclusions);

    auto* timeout = new QHBoxLayout;
    timeout->addWidget(Label6_);
    timeout->addWidget(txtTmOut_);
    timeout->addWidget(Label7_);
    timeout->addStretch(1);
    auto* depth = new QHBoxLayout;
    depth->addWidget(Label11_);
    depth->addWidget(txtMaxDepth_);
    depth->addWidget(chkMaxDepth_);
    depth->addStretch(1);
    // Both number boxes line up under each other.
    const int labelWidth = std::max(Label6_->sizeHint().width(), Label11_->sizeHint().width());
    Label6_->setMinimumWidth(labelWidth);
    Label11_->setMinimumWidth(labelWidth);
    txtTmOut_->setFixedWidth(48);
    txtMaxDepth_->setFixedWidth(48);

    auto* right = new QVBoxLayout;
    right->addWidget(Frame1_);
    right->addSpacing(6);
    right->addLayout(timeout);
    right->addLayout(depth);
    right->addStretch(1);

    auto* middle = new QHBoxLayout;
    middle->addLayout(results, 1);
    middle->addSpacing(6);
    middle->addLayout(right, 0);

    // Document line: captions, the depth number, then the address and title of the page.
    auto* document = new QGridLayout;
    document->setVerticalSpacing(2);
    document->addWidget(Label3_, 0, 0);
    document->addWidget(lblDocHref_, 0, 2);
    document->addWidget(Label10_, 1, 0);
    document->addWidget(lblDepth_, 1, 1);
    document->addWidget(lblDocTitle_, 1, 2);
    document->setColumnMinimumWidth(1, 72);
    document->setColumnStretch(2, 1);

    linkBrowser_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    linkBrowser_->setMinimumHeight(100);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->addLayout(top);
    outer->addSpacing(6);
    outer->addLayout(middle, 2);
    outer->addSpacing(4);
    outer->addLayout(document);
    outer->addWidget(lblShownPage_);
    outer->addWidget(linkBrowser_, 1);
    outer->addWidget(statusBar_);
}

void MainForm::SetFocusOrder() {
    QWidget* const order[] = {
        txtStartURL_,    txtBaseURL_,      btnStartStop_,   btnReport_,     txtTmOut_,
        lstGoodLinks_,   lstSkippedLinks_, lstBrokenLinks_, btnAbout_,      btnTips_,
        linkBrowser_,    chkExternal_,     chkJSStyle_,     chkLinks_,      chkFrames_,
        chkImages_,      chkApplets_,      chkForms_,       chkUseDefExcl_, btnClearExclExtn_,
        btnAddExclExtn_, txtExclExtn_,     lstExclExtn_,    txtMaxDepth_,   chkMaxDepth_,
    };
    for (std::size_t i = 1; i < std::size(order); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

void MainForm::ConnectHandlers() {
    // Check boxes and text boxes run their handlers whenever their value or text changes, from
    // the user or from code, before the change returns.
    connect(btnStartStop_, &QPushButton::clicked, this, [this] { btnStartStop_Click(); });
    connect(btnReport_, &QPushButton::clicked, this, [this] { btnReport_Click(); });
    connect(btnAbout_, &QPushButton::clicked, this, [this] { btnAbout_Click(); });
    connect(btnTips_, &QPushButton::clicked, this, [this] { btnTips_Click(); });
    connect(btnAddExclExtn_, &QPushButton::clicked, this, [this] { btnAddExclExtn_Click(); });
    connect(btnClearExclExtn_, &QPushButton::clicked, this, [this] { btnClearExclExtn_Click(); });
    connect(chkUseDefExcl_, &QCheckBox::toggled, this, [this] { chkUseDefExcl_Click(); });
    connect(chkExternal_, &QCheckBox::toggled, this, [this] { chkExternal_Click(); });
    connect(chkMaxDepth_, &QCheckBox::toggled, this, [this] { chkMaxDepth_Click(); });
    connect(txtMaxDepth_, &QLineEdit::textChanged, this, [this] { txtMaxDepth_Change(); });
    connect(txtStartURL_, &QLineEdit::textChanged, this, [this] { txtStartURL_Change(); });
    // Keys: Enter in a URL box starts a run, Escape stops it, Enter in the extension box adds.
    for (QLineEdit* box : {txtStartURL_, txtBaseURL_}) {
        connect(box, &QLineEdit::returnPressed, this, [this] {
            if (!crawl_->InRun()) {
                btnStartStop_Click();
            }
        });
    }
    connect(stopKey_, &QShortcut::activated, this, [this] {
        if (crawl_->InRun()) {
            btnStartStop_Click();
        }
    });
    connect(txtExclExtn_, &QLineEdit::returnPressed, this, [this] { btnAddExclExtn_Click(); });
    connect(linkBrowser_, &BrowserPane::PageShown, this, [this] { ShowPaneCaption(); });
}

// --- handlers ---

void MainForm::Form_Load() {
    const int dayOfMonth = parts_.clock.UtcDayOfMonth();
    show();
    if (dayOfMonth == 1) {
        linkBrowser_->ShowHomePage();
    } else {
        linkBrowser_->ShowBlank();
    }
    chkUseDefExcl_->setChecked(true);
    txtStartURL_->setFocus();
    if (ReadShowTipsAtStartup() == 1) {
        OpenTipsWindow();
        tipsFollowFirstMove_ = tipWindow_ != nullptr;
    }
}

void MainForm::SetUrlOpener(const UrlOpener& opener) {
    for (ResultList* list : {lstGoodLinks_, lstSkippedLinks_, lstBrokenLinks_}) {
        list->SetUrlOpener(opener);
    }
}

void MainForm::btnStartStop_Click() {
    if (!crawl_->InRun() && btnStartStop_->text() == QStringLiteral("Start")) {
        ResolveStartPath();
    }
    crawl_->btnStartStop_Click();
    if (crawl_->InRun()) {
        return;  // a Stop request handled inside the run
    }
    FollowBrowserUntilComplete();
    // A close asked for during the run happens once the run has unwound.
    if (closeAfterRun_) {
        closeAfterRun_ = false;
        close();
    }
}

void MainForm::ResolveStartPath() {
    startHint_.clear();
    const std::string typed = txtStartURL_->text().toStdString();
    if (typed.empty() || HasUrlScheme(typed)) {
        return;
    }
    const StartLocation start = ResolveStartLocation(typed);
    if (start.error.empty()) {
        txtStartURL_->setText(QString::fromStdString(start.url));
    } else {
        startHint_ = QString::fromStdString(start.error);
    }
}

void MainForm::FollowBrowserUntilComplete() {
    if (crawl_->InRun()) {
        return;  // the run asks the browser itself
    }
    if (browser_->ReadyState() != platform::Browser::kReadyStateComplete) {
        QTimer::singleShot(100, this, [this] { FollowBrowserUntilComplete(); });
    }
}

void MainForm::btnReport_Click() {
    const QString path = chooseReportPath_ ? chooseReportPath_(this, reportName_) : QString();
    if (path.isEmpty()) {
        return;
    }
    reportName_ = path;
    const std::string failure = SaveReport(QFile::encodeName(path).toStdString());
    if (!failure.empty()) {
        messageBox_(this, QStringLiteral("Quillorbane"),
                    QStringLiteral("The report could not be written to %1: %2")
                        .arg(path, QString::fromLocal8Bit(failure.c_str())));
    }
}

void MainForm::btnAbout_Click() {
    if (aboutWindow_) {
        aboutWindow_->raise();
        aboutWindow_->activateWindow();
        return;
    }
    aboutWindow_ = new frmAbout(parts_.systemInfo, messageBox_, this);
    aboutWindow_->Form_Load();
    aboutWindow_->show();
}

void MainForm::btnTips_Click() {
    WriteShowTipsAtStartup(true);
    OpenTipsWindow();
    if (tipWindow_) {
        WriteShowTipsAtStartup(tipWindow_->ShowAtStartupChecked());
    }
}

void MainForm::OpenTipsWindow() {
    if (tipWindow_) {
        tipWindow_->raise();
        tipWindow_->activateWindow();
        return;
    }
    QPointer<frmTip> window = new frmTip(parts_.tipsFilePath, this);
    if (window->Form_Load()) {
        tipWindow_ = window;
        CentreOnThis(window);
        window->show();
    } else if (window) {
        window->deleteLater();
    }
}

void MainForm::CentreOnThis(QWidget* window) const {
    if (window->layout() != nullptr) {
        window->layout()->activate();  // the window takes its least size before it is placed
    }
    QRect place = window->frameGeometry();
    place.moveCenter(frameGeometry().center());
    window->move(place.topLeft());
}

void MainForm::ShowPaneCaption() {
    const QString& location = linkBrowser_->Location();
    if (location == QStringLiteral("about:blank")) {
        lblShownPage_->clear();
        return;
    }
    const QString title = linkBrowser_->Title();
    lblShownPage_->setText(QStringLiteral("Shown below: ") +
                           (title.isEmpty() ? location : title + QStringLiteral(" - ") + location));
}

void MainForm::btnAddExclExtn_Click() {
    const QString extension = txtExclExtn_->text();
    VisitControl::AddExcludedExtension(extension.toStdString());
    lstExclExtn_->addItem(extension);
    txtExclExtn_->setText(QString());
}

void MainForm::btnClearExclExtn_Click() {
    chkUseDefExcl_->setChecked(false);
    lstExclExtn_->clear();
    VisitControl::ClearExcludedExtensions();
}

void MainForm::chkUseDefExcl_Click() {
    lstExclExtn_->clear();
    VisitControl::ClearExcludedExtensions();
    if (chkUseDefExcl_->isChecked()) {
        for (const std::string& extension : VisitControl::DefaultExcludedExtensions()) {
            VisitControl::AddExcludedExtension(extension);
            lstExclExtn_->addItem(QString::fromStdString(extension));
        }
    }
}

void MainForm::chkExternal_Click() {
    VisitControl::SetFollowExternal(chkExternal_->isChecked());
}

void MainForm::chkMaxDepth_Click() {
    if (chkMaxDepth_->isChecked()) {
        txtMaxDepth_->setText(QStringLiteral("0"));
        txtMaxDepth_->setEnabled(false);
    } else {
        txtMaxDepth_->setText(QStringLiteral("100"));
        txtMaxDepth_->setEnabled(true);
    }
}

void MainForm::txtMaxDepth_Change() {
    const std::optional<int> depth = ToWholeNumber16(txtMaxDepth_->text());
    if (!depth) {
        txtMaxDepth_->setText(QStringLiteral("0"));
        maxDepth_ = 0;
        return;
    }
    maxDepth_ = *depth;
    if (maxDepth_ == 0 && !chkMaxDepth_->isChecked()) {
        chkMaxDepth_->setChecked(true);
    }
}

void MainForm::txtStartURL_Change() {
    txtBaseURL_->setText(BaseURLOf(txtStartURL_->text()));
}

// --- the crawl's view of the window ---

std::string MainForm::Text(TextControl control) {
    switch (control) {
        case TextControl::txtStartURL:
            return txtStartURL_->text().toStdString();
        case TextControl::txtBaseURL:
            return txtBaseURL_->text().toStdString();
        case TextControl::txtTmOut:
            return txtTmOut_->text().toStdString();
    }
    return {};
}

bool MainForm::Value(CheckControl control) {
    switch (control) {
        case CheckControl::chkExternal:
            return chkExternal_->isChecked();
        case CheckControl::chkImages:
            return chkImages_->isChecked();
        case CheckControl::chkApplets:
            return chkApplets_->isChecked();
        case CheckControl::chkJSStyle:
            return chkJSStyle_->isChecked();
        case CheckControl::chkLinks:
            return chkLinks_->isChecked();
        case CheckControl::chkFrames:
            return chkFrames_->isChecked();
        case CheckControl::chkForms:
            return chkForms_->isChecked();
    }
    return false;
}

QLabel* MainForm::CaptionLabel(CaptionControl control) const {
    switch (control) {
        case CaptionControl::btnStartStop:
            return nullptr;
        case CaptionControl::lblDocHref:
            return lblDocHref_;
        case CaptionControl::lblDocTitle:
            return lblDocTitle_;
        case CaptionControl::lblDepth:
            return lblDepth_;
        case CaptionControl::lblNumSuccessfulLinks:
            return lblNumSuccessfulLinks_;
        case CaptionControl::lblNumSkippedLinks:
            return lblNumSkippedLinks_;
        case CaptionControl::lblNumBrokenLinks:
            return lblNumBrokenLinks_;
    }
    return nullptr;
}

std::string MainForm::Caption(CaptionControl control) {
    if (control == CaptionControl::btnStartStop) {
        return btnStartStop_->text().toStdString();
    }
    return CaptionLabel(control)->text().toStdString();
}

void MainForm::SetCaption(CaptionControl control, const std::string& caption) {
    const QString text = QString::fromStdString(caption);
    if (control == CaptionControl::btnStartStop) {
        if (text == QStringLiteral("Stop") && btnStartStop_->text() == QStringLiteral("Start")) {
            statusBar_->RunStarted();
        }
        btnStartStop_->setText(text);
        stopKey_->setEnabled(text == QStringLiteral("Stop"));
        return;
    }
    CaptionLabel(control)->setText(text);
}

ResultList* MainForm::ResultListOf(ListControl list) const {
    switch (list) {
        case ListControl::lstGoodLinks:
            return lstGoodLinks_;
        case ListControl::lstSkippedLinks:
            return lstSkippedLinks_;
        case ListControl::lstBrokenLinks:
            return lstBrokenLinks_;
    }
    return lstGoodLinks_;
}

void MainForm::AddToList(ListControl list, const std::string& entry) {
    ResultListOf(list)->AddEntry(entry);
    statusBar_->UrlRecorded();
}

void MainForm::ClearList(ListControl list) {
    ResultListOf(list)->clear();
}

void MainForm::ShowRunFailure(const std::string& message) {
    const QString text = QString::fromStdString(message);
    statusBar_->NoteFailure(text);
    if (!closeAfterRun_) {
        messageBox_(this, QStringLiteral("Quillorbane"), text);
    }
}

void MainForm::PageWalkStarted(const std::string& pageURL) {
    statusBar_->PageWalkStarted(QString::fromStdString(pageURL));
}

void MainForm::ShowRunEnd(RunEnd how) {
    const CrawlState& state = crawl_->State();
    statusBar_->RunEnded(how, {state.successfulCount, state.skippedCount, state.brokenCount});
    if (!startHint_.isEmpty()) {
        statusBar_->AddHint(startHint_);
    }
}

void MainForm::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    if (tipsFollowFirstMove_ && tipWindow_) {
        CentreOnThis(tipWindow_);
    }
    tipsFollowFirstMove_ = false;
}

void MainForm::closeEvent(QCloseEvent* event) {
    if (crawl_ && crawl_->InRun()) {
        // The window goes at once; the run is stopped and unwinds behind it, then the window
        // closes for good (see btnStartStop_Click).
        closeAfterRun_ = true;
        for (QWidget* window :
             {static_cast<QWidget*>(tipWindow_.data()), static_cast<QWidget*>(aboutWindow_.data()),
              static_cast<QWidget*>(this)}) {
            if (window != nullptr) {
                window->hide();
            }
        }
        if (btnStartStop_->text() != QStringLiteral("Start")) {
            crawl_->btnStartStop_Click();
        }
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

}  // namespace quill::ui
