#include "ui/run_status.h"

#include <QLabel>
#include <QProgressBar>

namespace quill::ui {

namespace {

QString Plural(int count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

}  // namespace

QString RunEndText(RunEnd how, qint64 elapsedMilliseconds, RunCounts counts,
                   const QString& failure) {
    const qint64 seconds = (elapsedMilliseconds + 500) / 1000;
    const QString tally = QStringLiteral("%1 successful, %2 skipped, %3 broken")
                              .arg(counts.successful)
                              .arg(counts.skipped)
                              .arg(counts.broken);
    switch (how) {
        case RunEnd::kFinished:
            return QStringLiteral("Finished in %1 s: %2").arg(seconds).arg(tally);
        case RunEnd::kStopped:
            return QStringLiteral("Stopped after %1 s: %2").arg(seconds).arg(tally);
        case RunEnd::kFailed:
            break;
    }
    return QStringLiteral("Failed: %1 (after %2 s: %3)")
        .arg(failure.isEmpty() ? QStringLiteral("the run ended early") : failure)
        .arg(seconds)
        .arg(tally);
}

RunStatusBar::RunStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("statusBar"));
    setSizeGripEnabled(false);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("lblStatus"));
    message_->setTextFormat(Qt::PlainText);
    // A long page address is cut off instead of widening the window.
    message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    message_->setMinimumWidth(1);
    busy_ = new QProgressBar(this);
    busy_->setObjectName(QStringLiteral("busyIndicator"));
    busy_->setRange(0, 0);
    busy_->setTextVisible(false);
    busy_->setMaximumWidth(120);
    busy_->setMaximumHeight(14);
    busy_->hide();
    addWidget(message_, 1);
    addPermanentWidget(busy_);
}

void RunStatusBar::RunStarted() {
    elapsed_.start();
    pagesWalked_ = 0;
    urlsMet_ = 0;
    page_.clear();
    failure_.clear();
    busy_->show();
    message_->setText(QStringLiteral("Starting..."));
}

void RunStatusBar::PageWalkStarted(const QString& pageURL) {
    ++pagesWalked_;
    page_ = pageURL;
    ShowProgress();
}

void RunStatusBar::UrlRecorded() {
    if (!busy_->isHidden()) {
        ++urlsMet_;
        ShowProgress();
    }
}

void RunStatusBar::ShowProgress() {
    message_->setText(QStringLiteral("%1, %2 met: %3")
                          .arg(Plural(pagesWalked_, "page walked", "pages walked"),
                               Plural(urlsMet_, "URL", "URLs"), page_));
}

void RunStatusBar::RunEnded(RunEnd how, RunCounts counts) {
    busy_->hide();
    message_->setText(
        RunEndText(how, elapsed_.isValid() ? elapsed_.elapsed() : 0, counts, failure_));
    failure_.clear();
}

void RunStatusBar::AddHint(const QString& hint) {
    message_->setText(message_->text() + QStringLiteral(" - ") + hint);
}

QString RunStatusBar::Text() const {
    return message_->text();
}

bool RunStatusBar::Busy() const {
    return !busy_->isHidden();
}

}  // namespace quill::ui
