// The crawl: Start and Stop, the page routine, the dispatch of a loaded page to the element
// walkers, the verification and recording of every URL. One object per front end; its collaborators
// are passed in, so tests run it on fakes and the window and the command line on the real
// components.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crawl/crawl_front_end.h"
#include "crawl/walk_observer.h"
#include "crawl/walkers.h"
#include "platform/browser.h"
#include "platform/clock.h"
#include "platform/document.h"
#include "platform/transfer_control.h"
#include "platform/wait.h"

namespace quill {

struct CrawlServices {
    platform::Browser& browser;
    // The transfer control handed to the URL probe at every Start.
    std::shared_ptr<platform::TransferControl> inet;
    // Loads other pages to look for fragments in them, without showing them.
    platform::PageLoader& pageLoader;
    const platform::Clock& clock;
    platform::Sleeper& sleeper;
    platform::EventPump& pump;
    // Switches the answering of file: URLs; the run turns it on when it starts from a file: URL.
    std::function<void(bool)> setFileAccess = [](bool) {};
    // The look-ahead that fetches ahead of the walk, told what the walk does; null for none. Not
    // owned.
    WalkObserver* lookAhead = nullptr;
    // URLs the user wants left alone: every found URL it matches is listed as skipped, with no
    // request made for it. None when empty.
    SharedUrlTest skip = nullptr;
};

// The fields of the crawl state that a run resets and updates.
struct CrawlState {
    std::string startURL;
    bool running = false;
    int loadTimeOut = 0;
    int successfulCount = 0;
    int brokenCount = 0;
    int skippedCount = 0;
    int currentDepth = 0;
};

// Verdicts handed to RecordLinkResult.
enum LinkStatus : int { kLinkValid = 0, kLinkBroken = -1, kLinkSkipped = 1 };

class Crawl {
  public:
    Crawl(CrawlFrontEnd& frontEnd, CrawlServices services);

    Crawl(const Crawl&) = delete;
    Crawl& operator=(const Crawl&) = delete;

    // The Start/Stop button: starts a run that ends when the crawl is done, or, while the caption
    // reads "Stop", asks the running crawl to stop.
    void btnStartStop_Click();

    // True from the beginning of a run to its end, whatever the running flag says.
    bool InRun() const;
    const CrawlState& State() const;

    // The operations below are the crawl's own steps. Front ends use only the three above; the
    // steps are public so that tests can drive each of them on its own.

    // Verifies a page and, with follow, loads it, judges it by the address the browser reports and
    // walks it within the maximum depth. Writes loadTime except for a URL already valid, and, when
    // given, why the page is good or not.
    bool VisitPage(const std::string& url, bool follow, int& loadTime,
                   std::string* reason = nullptr);
    // Hands the document the browser shows to the walkers whose boxes are ticked. Always true.
    bool parseDoc(platform::Browser& linkBrowser);
    // Verifies a URL with the HEAD probe alone. Writes loadTime except for a URL already valid,
    // and, when given, the probe's reason.
    bool CheckLink(const std::string& url, int& loadTime, std::string* reason = nullptr);
    // Counts, lists and registers one verdict with its reason; any other status than the three is
    // ignored.
    void RecordLinkResult(const std::string& url, const std::string& referrer, int linkStatus,
                          int loadTime, const std::string& reason = "");

    // The verify-only walkers.
    void CheckImages(const platform::Document& document, const std::string& pageURL);
    void CheckApplets(const platform::Document& document, const std::string& pageURL);
    void CheckScripts(const platform::Document& document, const std::string& pageURL);
    void CheckStyleSheets(const platform::Document& document, const std::string& pageURL);
    void CheckForms(const platform::Document& document, const std::string& pageURL);

    // The walkers that carry the crawl from page to page. They let go of what they have read of
    // the document as they go: a link once it is handled, the frames once their URLs are read.
    void CheckHyperlinks(platform::Document& document, const std::string& pageURL);
    void CheckFrames(platform::Document& document, const std::string& pageURL);
    // True when an <a> of the document's anchors carries exactly this name.
    static bool FindNamedAnchor(const platform::Document& document, const std::string& name);

  private:
    // VisitPage's verification and load: the verdict when the visit ends there, nothing when the
    // page is shown and is walked next. Apart from VisitPage, whose frame stays on the stack while
    // the walk is deeper down, as are the steps taken when a page's walk fails.
    [[gnu::noinline]] std::optional<bool> LoadForVisit(const std::string& url, bool follow,
                                                       int& loadTime, std::string& why);
    [[noreturn, gnu::noinline]] void LeaveFailedPage(const std::string& url);
    // parseDoc's start: the title shown, the front end and the look-ahead told, and the
    // document's own copy of its address let go.
    [[gnu::noinline]] void StartPageWalk(platform::Document& document, const std::string& pageURL);

    // A page loaded to look for fragments in it: whether it loaded, and the anchor names and
    // element ids it holds (sorted), which is all that is kept of it.
    struct FragmentPage {
        bool loaded = false;
        std::vector<std::string> targets;
        std::string reason;
    };

    // The front end's pump as the waits use it; tells the look-ahead after every pass, since the
    // user's changes come in through the events.
    class ObservedPump final : public platform::EventPump {
      public:
        explicit ObservedPump(Crawl& crawl) : crawl_(crawl) {}
        void PumpEvents() override;

      private:
        Crawl& crawl_;
    };

    // What the last load measured, for the verdict recorded next.
    struct LoadFacts {
        std::optional<int> status;
        int milliseconds = 0;
    };
    // Names what refers to the URLs whose verdicts are recorded while it lives ("image", "link",
    // ...); the kind before it comes back at its end, so a walk further down leaves none behind.
    class WalkKind {
      public:
        WalkKind(Crawl& crawl, const char* kind) : crawl_(crawl), before_(crawl.walkKind_) {
            crawl.walkKind_ = kind;
        }
        ~WalkKind() { crawl_.walkKind_ = before_; }
        WalkKind(const WalkKind&) = delete;
        WalkKind& operator=(const WalkKind&) = delete;

      private:
        Crawl& crawl_;
        const char* before_;
    };

    void RunCrawl();
    // Runs one walker of the table on the page.
    void Walk(Walker walker, platform::Document& document, const std::string& pageURL);
    void RecordStartPageAfterFailure(int loadTime);
    void ShowCount(CaptionControl label, int count);
    void ShowDepth();
    // Serves events and sleeps until `complete` holds or the load time-out has passed, each sleep
    // ending as soon as `done` is marked; false when the run was stopped first.
    bool WaitForPage(const std::function<bool()>& complete, platform::Completion& done);

    // One resolving walker (scripts, style sheets, forms) over the URLs its elements give; an
    // element without one is passed over.
    template <typename Element, typename ElementUrl>
    void VerifyAsWritten(const std::vector<Element>& elements, const std::string& pageURL,
                         ElementUrl elementUrl, bool honourStop);
    // Steps of a link from the seen-before test to the advisory.
    void HandleLink(const platform::Document& document, const std::string& pageURL,
                    const platform::LinkElement& link, const std::string& url,
                    std::string_view hash);
    bool JudgeFragmentLink(const platform::Document& document, const std::string& pageURL,
                           const std::string& url, std::string_view hash, int& loadTime,
                           std::string& reason);
    // The page at pageAddress (no fragment), loaded once per run; null, with the reason, when it
    // did not load.
    const FragmentPage* LoadFragmentPage(const std::string& pageAddress, int& loadTime,
                                         std::string& reason);
    static bool HoldsFragment(const platform::Document& document, const std::string& fragment);
    static bool SeenBefore(const std::string& url);
    // The seen-before test of a walker on pageURL: a URL met before gets the page as one more
    // referrer.
    static bool SeenBeforeOn(const std::string& url, const std::string& pageURL);
    // A URL the user's skip test matches is recorded skipped on pageURL; true when it was.
    bool SkippedByUser(const std::string& url, const std::string& pageURL);

    // The settings the walk reads as it goes, as they are now.
    WalkSettings CurrentWalkSettings();
    // Opens a load-time measurement with the look-ahead; nothing without one.
    std::optional<std::uint64_t> MarkRequests();
    // The load time of what the walk did since start and mark: the look-ahead's when it served
    // every request, else `measured`.
    int LoadSeconds(const std::optional<std::uint64_t>& mark, int measured);
    // Keeps a load of loadTime seconds that began at start: in milliseconds by the clock when it
    // measured the same whole seconds, else the seconds' worth.
    void NoteLoad(int loadTime, platform::Clock::TimePoint start, std::optional<int> status);

    CrawlFrontEnd& frontEnd_;
    CrawlServices services_;
    CrawlState state_;
    ObservedPump pump_{*this};
    bool inRun_ = false;
    // Pages loaded for fragment look-ups in this run, by address without fragment; the reason
    // goes with a page that did not load.
    std::map<std::string, FragmentPage> fragmentPages_;
    const char* walkKind_ = "start";
    LoadFacts lastLoad_;
};

}  // namespace quill
