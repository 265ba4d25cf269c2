// What the crawl reads and writes of its front end: the controls of the main window that a run
// uses, by their names. The desktop window implements it on its widgets, the command line on plain
// values, tests on a fake.
#pragma once

#include <string>

namespace quill {

// Text boxes read at Start.
enum class TextControl { txtStartURL, txtBaseURL, txtTmOut };

// Option check boxes; a ticked box reads true.
enum class CheckControl {
    chkExternal,
    chkImages,
    chkApplets,
    chkJSStyle,
    chkLinks,
    chkFrames,
    chkForms
};

// Captions the crawl shows (and, for the Start/Stop button, reads).
enum class CaptionControl {
    btnStartStop,
    lblDocHref,
    lblDocTitle,
    lblDepth,
    lblNumSuccessfulLinks,
    lblNumSkippedLinks,
    lblNumBrokenLinks,
};

// The three result lists; each keeps its entries sorted alphabetically.
enum class ListControl { lstGoodLinks, lstSkippedLinks, lstBrokenLinks };

// How a run ended: it walked everything, the user stopped it, or a component failed.
enum class RunEnd { kFinished, kStopped, kFailed };

class CrawlFrontEnd {
  public:
    virtual ~CrawlFrontEnd() = default;

    virtual std::string Text(TextControl control) = 0;
    virtual bool Value(CheckControl control) = 0;
    virtual std::string Caption(CaptionControl control) = 0;
    virtual void SetCaption(CaptionControl control, const std::string& caption) = 0;
    virtual void AddToList(ListControl list, const std::string& entry) = 0;
    virtual void ClearList(ListControl list) = 0;
    // The maximum depth the depth controls hold now (0 = unlimited); read at every depth test.
    virtual int MaximumDepth() = 0;
    // A run ended early on a failure of a component; called once, after the window is idle again.
    virtual void ShowRunFailure(const std::string& message) = 0;

    // Progress and outcome for front ends that show more than the controls above; the crawl calls
    // them and ignores what they do. A page has loaded and its walk begins:
    virtual void PageWalkStarted(const std::string& pageURL) { (void)pageURL; }
    // Called once at the end of every run, after the window is idle again (and after
    // ShowRunFailure for a failed run).
    virtual void ShowRunEnd(RunEnd how) { (void)how; }
};

}  // namespace quill
