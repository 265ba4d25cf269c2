#include "cli/cli_options.h"

#include <charconv>
#include <limits>
#include <regex>

#include "live/live_services.h"

#ifndef QUILL_VERSION
#error "QUILL_VERSION must be defined by the build"
#endif

namespace quill::cli {

namespace {

enum class Flag { kExternal, kImages, kApplets, kScriptsAndStyles, kLinks, kFrames, kForms };

struct FlagOption {
    const char* name;
    Flag flag;
};

constexpr FlagOption kFlagOptions[] = {
    {"--no-external", Flag::kExternal}, {"--no-images", Flag::kImages},
    {"--no-applets", Flag::kApplets},   {"--no-scripts-styles", Flag::kScriptsAndStyles},
    {"--no-links", Flag::kLinks},       {"--no-frames", Flag::kFrames},
    {"--no-forms", Flag::kForms},
};

bool& FlagField(CliOptions& options, Flag flag) {
    switch (flag) {
        case Flag::kExternal:
            return options.external;
        case Flag::kImages:
            return options.images;
        case Flag::kApplets:
            return options.applets;
        case Flag::kScriptsAndStyles:
            return options.scriptsAndStyles;
        case Flag::kLinks:
            return options.links;
        case Flag::kFrames:
            return options.frames;
        case Flag::kForms:
            break;
    }
    return options.forms;
}

bool IsValueOption(const std::string& name) {
    return name == "--base" || name == "--timeout" || name == "--max-depth" ||
           name == "--exclude" || name == "--report" || name == "--connections" ||
           name == "--connections-per-host" || name == "--skip" || name == "--user-agent" ||
           name == "--header" || name == "--format" || name == "--output";
}

// ".zip", ".tar.gz": a dot, then letters and digits (more dots between them allowed).
bool LooksLikeExtension(const std::string& value) {
    if (value.size() < 2 || value[0] != '.' || value.back() == '.') {
        return false;
    }
    for (const char c : value) {
        const bool alnum =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && c != '.') {
            return false;
        }
    }
    return true;
}

bool HasLineBreak(const std::string& value) {
    return value.find_first_of("\r\n") != std::string::npos;
}

// A header line "Name: value": a name of visible characters without blanks, then a colon.
bool IsHeaderLine(const std::string& value) {
    const std::size_t colon = value.find(':');
    if (colon == 0 || colon == std::string::npos || HasLineBreak(value)) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(value[i]);
        if (c <= 0x20 || c >= 0x7F) {
            return false;
        }
    }
    return true;
}

// A whole number from `minimum` up that fits an int; otherwise the message for the user.
std::optional<int> ReadCount(const std::string& option, const std::string& text, int minimum,
                             const char* rangeNote, std::string& error) {
    const std::string quoted = "'" + text + "'";
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) {
        ++first;
    }
    bool digitsOnly = first != last;
    for (const char* p = first; p != last; ++p) {
        digitsOnly = digitsOnly && *p >= '0' && *p <= '9';
    }
    if (!digitsOnly) {
        error = option + " needs a whole number, got " + quoted;
        return std::nullopt;
    }
    const std::string tooSmall = option + " needs a whole number from " + std::to_string(minimum) +
                                 " up" + rangeNote + ", got " + quoted;
    if (negative) {
        error = tooSmall;
        return std::nullopt;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || end != last) {
        error = option + " is too large, got " + quoted + " (at most " +
                std::to_string(std::numeric_limits<int>::max()) + ")";
        return std::nullopt;
    }
    if (value < minimum) {
        error = tooSmall;
        return std::nullopt;
    }
    return value;
}

ParsedCommandLine UsageError(std::string message) {
    ParsedCommandLine parsed;
    parsed.command = CliCommand::kUsageError;
    parsed.error = std::move(message);
    return parsed;
}

}  // namespace

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine parsed;
    CliOptions& options = parsed.options;
    std::vector<std::string> explicitExclusions;
    bool exclusionsGiven = false;
    bool startUrlGiven = false;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            if (startUrlGiven) {
                return UsageError("more than one start URL: '" + options.startUrl + "' and '" +
                                  arg + "'");
            }
            if (arg.empty()) {
                return UsageError("the start URL is empty");
            }
            options.startUrl = arg;
            startUrlGiven = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            parsed.command = CliCommand::kHelp;
            return parsed;
        }
        if (arg == "--version") {
            parsed.command = CliCommand::kVersion;
            return parsed;
        }

        std::string name = arg;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
            name = arg.substr(0, eq);
            inlineValue = arg.substr(eq + 1);
        }

        if (IsValueOption(name)) {
            std::string value;
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < args.size()) {
                value = args[++i];
            } else {
                return UsageError(name + " needs a value");
            }
            std::string error;
            if (name == "--base") {
                if (value.empty()) {
                    return UsageError("--base needs a URL, got ''");
                }
                options.baseUrl = value;
            } else if (name == "--timeout") {
                const auto seconds = ReadCount(name, value, 0, "", error);
                if (!seconds) {
                    return UsageError(error);
                }
                options.timeoutSeconds = *seconds;
            } else if (name == "--max-depth") {
                const auto depth = ReadCount(name, value, 0, " (0 = unlimited)", error);
                if (!depth) {
                    return UsageError(error);
                }
                options.maxDepth = *depth;
            } else if (name == "--exclude") {
                if (value.empty()) {
                    return UsageError("--exclude needs an extension such as .zip, got ''");
                }
                explicitExclusions.push_back(value);
                exclusionsGiven = true;
                if (!LooksLikeExtension(value)) {
                    parsed.warnings.push_back(
                        "--exclude '" + value +
                        "' does not look like an extension such as .zip: every URL that ends "
                        "in it is checked but not walked (to leave URLs alone, use --skip)");
                }
            } else if (name == "--skip") {
                try {
                    const std::regex pattern(value, std::regex::ECMAScript);
                } catch (const std::regex_error& e) {
                    return UsageError("--skip needs a regular expression, got '" + value +
                                      "': " + e.what());
                }
                options.skipPatterns.push_back(value);
            } else if (name == "--user-agent") {
                if (value.empty() || HasLineBreak(value)) {
                    return UsageError("--user-agent needs one line of text, got '" + value + "'");
                }
                options.userAgent = value;
            } else if (name == "--header") {
                if (!IsHeaderLine(value)) {
                    return UsageError("--header needs \"Name: value\", got '" + value + "'");
                }
                options.headers.push_back(value);
            } else if (name == "--connections" || name == "--connections-per-host") {
                const auto count = ReadCount(name, value, 1, "", error);
                if (!count) {
                    return UsageError(error);
                }
                (name == "--connections" ? options.connections : options.connectionsPerHost) =
                    *count;
            } else if (name == "--format") {
                if (value != "text" && value != "json") {
                    return UsageError("--format needs text or json, got '" + value + "'");
                }
                options.json = value == "json";
            } else if (name == "--output") {
                if (value.empty()) {
                    return UsageError("--output needs a file name, got ''");
                }
                options.outputPath = value;
            } else {  // --report
                if (value.empty()) {
                    return UsageError("--report needs a file name, got ''");
                }
                options.reportPath = value;
            }
            continue;
        }

        if (name == "--quiet" || name == "-q") {
            if (inlineValue) {
                return UsageError(name + " takes no value, got '" + arg + "'");
            }
            options.quiet = true;
            continue;
        }
        if (name == "--no-lookahead") {
            if (inlineValue) {
                return UsageError(name + " takes no value, got '" + arg + "'");
            }
            options.lookAhead = false;
            continue;
        }
        if (name == "--no-default-excludes") {
            if (inlineValue) {
                return UsageError(name + " takes no value, got '" + arg + "'");
            }
            exclusionsGiven = true;
            continue;
        }
        bool matchedFlag = false;
        for (const FlagOption& flagOption : kFlagOptions) {
            if (name == flagOption.name) {
                if (inlineValue) {
                    return UsageError(name + " takes no value, got '" + arg + "'");
                }
                FlagField(options, flagOption.flag) = false;
                matchedFlag = true;
            }
        }
        if (!matchedFlag) {
            return UsageError("unknown option '" + arg + "'");
        }
    }

    if (!startUrlGiven) {
        return UsageError("missing START_URL");
    }
    if (!options.outputPath.empty() && options.outputPath == options.reportPath) {
        return UsageError("--output and --report name the same file '" + options.outputPath +
                          "': one would overwrite the other");
    }
    if (exclusionsGiven) {
        options.excludedExtensions = explicitExclusions;
    }
    return parsed;
}

std::string VersionText() {
    return std::string("quillorbane-cli ") + QUILL_VERSION + "\n";
}

std::string UsageText() {
    const LookAheadSettings defaults;
    std::string text = R"(Usage: quillorbane-cli [options] START_URL

Checks a web site for broken links and missing files, as the Quillorbane window
does: loads START_URL, checks every URL its page refers to, and walks the pages
that lie under the base URL, recursively.

START_URL is an http:, https: or file: URL. The path of an existing file or
directory may be given instead; it becomes a file: URL (a directory stands for
its index.html or index.htm when it has one). Any other start is refused.

Options:
  --base URL            only pages under URL are walked (default: START_URL up
                        to and including its last "/", when it holds more than
                        two "/"; otherwise START_URL itself)
  --timeout SECONDS     how long to wait for a page to load (default 60)
  --max-depth N         walk pages down to depth N; the start page is depth 1
                        (default 0 = unlimited)
  --no-external         skip links outside the base URL instead of checking
                        them (one level)
  --no-images           do not check images
  --no-applets          do not check applets
  --no-scripts-styles   do not check scripts and style sheets
  --no-links            do not check links (including # links)
  --no-frames           do not check frames
  --no-forms            do not check the actions of forms
  --exclude EXT         URLs ending in EXT are checked but never walked;
                        repeatable; replaces the defaults .zip .ram .tar .exe
                        .c .cpp .h .cdf .pdf
  --no-default-excludes start without the default extensions
  --skip REGEX          URLs in which REGEX (ECMAScript) matches anywhere are
                        listed as skipped and never requested; repeatable.
                        Unlike --exclude, which checks a URL but does not
                        walk it
  --user-agent TEXT     the User-Agent sent with every request
  --header "Name: value"
                        sent with every request to the start URL's host and
                        port only, never to other hosts; repeatable
  -q, --quiet           print only the broken links and a summary line (the
                        JSON document always holds every URL)
  --format FORMAT       text (the default) or json: one JSON document with the
                        run's facts, every URL with its verdict, and the
                        markup advisories
  --output FILE         write the results to FILE instead of standard output
  --report FILE         write the report file (every verdict with its load
                        time and referrer, then the markup advisories)
  --no-lookahead        make every request only when the crawl comes to it,
                        instead of fetching ahead of it in parallel; what
                        is fetched ahead is held in at most @BODY_MB@ MB of
                        memory, and beyond that in a scratch file in
                        $TMPDIR (else /var/tmp) of at most @ASIDE_MB@ MB
  --connections N       connections open at once while fetching ahead
                        (default @CONNECTIONS@)
  --connections-per-host N
                        of those, connections to one host (default @PER_HOST@)
  -h, --help            show this help and exit
  --version             show the version and exit

Output: the successful, skipped and broken links, each list sorted, with the
page that referred to each skipped or broken link after " <- " and why it got
its verdict in square brackets; further pages that refer to it follow on lines
of their own. Then the number of markup advisories, and last how the run ended:
Finished, Stopped or Failed: and why. Control characters in URLs are shown as
%XX. A progress line is shown on stderr when it is a terminal.
Ctrl-C, SIGTERM and SIGHUP stop the crawl and still print the results and write
the report; a second one quits at once.

Exit status: 0 no broken link, 1 broken links found, 2 bad command line,
3 the report file or the output file cannot be written, 4 the crawl ended
early on a failure, 128 + the signal's number when stopped by one (130 Ctrl-C,
143 SIGTERM, 129 SIGHUP).
)";
    const auto fill = [&text](const std::string& placeholder, int value) {
        text.replace(text.find(placeholder), placeholder.size(), std::to_string(value));
    };
    fill("@CONNECTIONS@", defaults.connections);
    fill("@PER_HOST@", defaults.connectionsPerHost);
    fill("@BODY_MB@", static_cast<int>(defaults.maxBodyBytes / (1024 * 1024)));
    fill("@ASIDE_MB@", static_cast<int>(defaults.maxAsideBytes / (1024 * 1024)));
    return text;
}

}  // namespace quill::cli
