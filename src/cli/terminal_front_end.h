// The command line's front end of the crawl: the window's controls as plain values taken from the
// command line, the result lists printed at the end from the registry, and a live progress line
// for a terminal.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "crawl/crawl_front_end.h"

namespace quill::cli {

// One line on a terminal, rewritten in place: the URL at hand, the depth and the three counts.
class ProgressLine {
  public:
    // Writes nothing at all unless enabled; width is the terminal's, in columns.
    ProgressLine(std::ostream& out, bool enabled, int width);
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Show(const std::string& url, const std::string& depth, const std::string& successful,
              const std::string& skipped, const std::string& broken);
    // Removes the line, leaving the cursor at the start of an empty line.
    void Clear();
    // A message on a line of its own, above the progress line when one is shown; written also
    // when the progress line is not.
    void Announce(const std::string& message);

    // The text of the line, cut to fit in width - 1 columns (the URL loses its beginning).
    static std::string Format(const std::string& url, const std::string& depth,
                              const std::string& successful, const std::string& skipped,
                              const std::string& broken, int width);

  private:
    std::ostream& out_;
    bool enabled_;
    int width_;
    bool shown_ = false;
    std::string line_;
};

class TerminalFrontEnd final : public CrawlFrontEnd {
  public:
    // startUrl and baseUrl as the window's boxes would hold them.
    TerminalFrontEnd(const CliOptions& options, std::string startUrl, std::string baseUrl,
                     ProgressLine& progress);

    std::string Text(TextControl control) override;
    bool Value(CheckControl control) override;
    std::string Caption(CaptionControl control) override;
    void SetCaption(CaptionControl control, const std::string& caption) override;
    void AddToList(ListControl list, const std::string& entry) override;
    void ClearList(ListControl list) override;
    int MaximumDepth() override;
    void ShowRunFailure(const std::string& message) override;
    void ShowRunEnd(RunEnd how) override { runEnd_ = how; }

    // The count its label shows; the registry's count while the label is still empty.
    std::string Count(ListControl list) const;
    const std::vector<std::string>& RunFailures() const { return runFailures_; }
    // How the run ended, as the last line of the output says it: "Finished", "Stopped" or
    // "Failed: " and the failure.
    std::string RunEndLine() const;
    RunEnd HowEnded() const { return runEnd_; }

  private:
    void ShowProgress();

    const CliOptions& options_;
    std::string startUrl_;
    std::string baseUrl_;
    ProgressLine& progress_;
    std::map<CaptionControl, std::string> captions_;
    std::vector<std::string> runFailures_;
    RunEnd runEnd_ = RunEnd::kFinished;
};

// The three lists under their captions, each with its count, then the number of advisories, when
// one was written where the report is, and how the run ended. Skipped and broken entries carry
// their reason from the registry in square brackets and every further referrer on a line of its
// own. Quiet: the broken entries alone, then one summary line. Control characters show as %XX.
void WriteResults(std::ostream& out, const TerminalFrontEnd& frontEnd, int advisories,
                  const std::string& reportPath, bool quiet = false);

}  // namespace quill::cli
