// The main window's status line: while a run is on, the pages walked, the URLs met and the page at
// hand beside a busy indicator; afterwards how the run ended, how long it took and its counts.
#pragma once

#include <QElapsedTimer>
#include <QStatusBar>
#include <QString>

#include "crawl/crawl_front_end.h"

class QLabel;
class QProgressBar;

namespace quill::ui {

// The counts of a run's three result lists.
struct RunCounts {
    int successful = 0;
    int skipped = 0;
    int broken = 0;
};

// "Finished in 12 s: 330 successful, 2 skipped, 39 broken", "Stopped after 4 s: ...", or
// "Failed after 1 s: <failure>; ..." for a run that a failure ended.
QString RunEndText(RunEnd how, qint64 elapsedMilliseconds, RunCounts counts,
                   const QString& failure);

class RunStatusBar final : public QStatusBar {
    Q_OBJECT

  public:
    explicit RunStatusBar(QWidget* parent = nullptr);

    void RunStarted();
    void PageWalkStarted(const QString& pageURL);
    void UrlRecorded();
    // The failure that is ending the run; shown with the run's end.
    void NoteFailure(const QString& failure) { failure_ = failure; }
    void RunEnded(RunEnd how, RunCounts counts);
    // Said after the run's end, e.g. what the start URL could not be made of.
    void AddHint(const QString& hint);

    QString Text() const;
    bool Busy() const;

  private:
    void ShowProgress();

    QLabel* message_;
    QProgressBar* busy_;
    QElapsedTimer elapsed_;
    int pagesWalked_ = 0;
    int urlsMet_ = 0;
    QString page_;
    QString failure_;
};

}  // namespace quill::ui
