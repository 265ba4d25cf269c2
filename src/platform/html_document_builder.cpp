#include "platform/html_document_builder.h"

#include <gumbo.h>

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iterator>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ascii.h"
#include "platform/curl_url.h"
namespace quill::platform {
namespace {

constexpr std::size_t kMiB = std::size_t{1024} * 1024;
// Below this a page cannot exhaust the parser's memory; we stop halving there.
constexpr std::size_t kSmallestRetry = 4096;

// ---------------------------------------------------------------------------------------------
// The parser's memory. Its many small pieces (nodes, attributes, short strings) are carved from
// large chunks with an 8-byte size word each and reused by size when freed; larger pieces get
// their own block in a list. A parse can so be abandoned at any point and its whole tree freed
// without walking it (the parser's own teardown recurses once per nesting level), and a tree costs
// little more than the parser asks for.

class ParserMemory {
  public:
    ParserMemory(std::size_t liveLimit, std::size_t totalLimit)
        : liveLimit_(liveLimit), totalLimit_(totalLimit) {
        anchor_.prev = &anchor_;
        anchor_.next = &anchor_;
    }
    ~ParserMemory() { FreeAll(); }
    ParserMemory(const ParserMemory&) = delete;
    ParserMemory& operator=(const ParserMemory&) = delete;

    void FreeAll() {
        Large* block = anchor_.next;
        while (block != &anchor_) {
            Large* next = block->next;
            std::free(block);
            block = next;
        }
        anchor_.prev = &anchor_;
        anchor_.next = &anchor_;
        while (chunks_ != nullptr) {
            Chunk* previous = chunks_->previous;
            std::free(chunks_);
            chunks_ = previous;
        }
        chunkUsed_ = kChunkBytes;
        std::fill(std::begin(freeLists_), std::end(freeLists_), nullptr);
        live_ = 0;
        total_ = 0;
    }

    // Where an allocation past the limits jumps to.
    std::jmp_buf* escape = nullptr;

    static void* Allocate(void* userData, std::size_t size) {
        auto& memory = *static_cast<ParserMemory*>(userData);
        const std::size_t rounded = (std::max<std::size_t>(size, 1) + kWord - 1) / kWord * kWord;
        if (rounded > memory.liveLimit_ - std::min(memory.live_, memory.liveLimit_) ||
            rounded > memory.totalLimit_ - std::min(memory.total_, memory.totalLimit_)) {
            std::longjmp(*memory.escape, 1);
        }
        memory.live_ += rounded;
        memory.total_ += rounded;
        return rounded <= kSmallest ? memory.AllocateSmall(rounded) : memory.AllocateLarge(rounded);
    }

    static void Deallocate(void* userData, void* pointer) {
        if (pointer == nullptr) {
            return;
        }
        auto& memory = *static_cast<ParserMemory*>(userData);
        auto* word = static_cast<std::size_t*>(pointer) - 1;
        const std::size_t size = *word;
        memory.live_ -= size;
        if (size <= kSmallest) {
            // The freed piece heads its size's list; its first word links to the next.
            void** piece = static_cast<void**>(pointer);
            *piece = memory.freeLists_[size / kWord];
            memory.freeLists_[size / kWord] = piece;
            return;
        }
        Large* block = reinterpret_cast<Large*>(word) - 1;
        block->prev->next = block->next;
        block->next->prev = block->prev;
        std::free(block);
    }

  private:
    static constexpr std::size_t kWord = sizeof(std::size_t);
    static constexpr std::size_t kSmallest = 256;  // pieces up to this size come from chunks
    static constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

    struct Chunk {
        Chunk* previous;
    };
    struct Large {
        Large* prev;
        Large* next;
    };

    void* AllocateSmall(std::size_t size) {
        void*& head = freeLists_[size / kWord];
        if (head != nullptr) {
            void* piece = head;
            head = *static_cast<void**>(piece);
            return piece;
        }
        if (chunkUsed_ + kWord + size > kChunkBytes) {
            auto* chunk = static_cast<Chunk*>(std::malloc(kChunkBytes));
            if (chunk == nullptr) {
                std::longjmp(*escape, 1);
            }
            chunk->previous = chunks_;
            chunks_ = chunk;
            chunkUsed_ = kWord * 2;  // the link to the previous chunk, padded
        }
        auto* word = reinterpret_cast<std::size_t*>(reinterpret_cast<char*>(chunks_) + chunkUsed_);
        chunkUsed_ += kWord + size;
        *word = size;
        return word + 1;
    }

    void* AllocateLarge(std::size_t size) {
        auto* block = static_cast<Large*>(std::malloc(sizeof(Large) + kWord + size));
        if (block == nullptr) {
            std::longjmp(*escape, 1);
        }
        block->prev = anchor_.prev;
        block->next = &anchor_;
        anchor_.prev->next = block;
        anchor_.prev = block;
        auto* word = reinterpret_cast<std::size_t*>(block + 1);
        *word = size;
        return word + 1;
    }

    Large anchor_{};
    Chunk* chunks_ = nullptr;
    std::size_t chunkUsed_ = kChunkBytes;
    void* freeLists_[kSmallest / kWord + 1] = {};
    std::size_t live_ = 0;
    std::size_t total_ = 0;
    const std::size_t liveLimit_;
    const std::size_t totalLimit_;
};

// Null when the parse ran past the memory limits. Nothing here may need a destructor: an
// allocation past the limits leaves by longjmp.
GumboOutput* ParseWithin(ParserMemory& memory, const char* text, std::size_t length) {
    std::jmp_buf escape;
    memory.escape = &escape;
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &ParserMemory::Allocate;
    options.deallocator = &ParserMemory::Deallocate;
    options.userdata = &memory;
    // The error list copies the stack of open elements per error: quadratic on deep markup.
    options.max_errors = 0;
    if (setjmp(escape) != 0) {
        return nullptr;
    }
    return gumbo_parse_with_options(&options, text, length);
}

// ---------------------------------------------------------------------------------------------
// URLs

bool IsUrlControlOrSpace(char c) {
    return static_cast<unsigned char>(c) <= 0x20;
}

// Leading and trailing controls and spaces go, and tabs and line breaks anywhere, as browsers do
// before they parse a URL.
std::string CleanReference(const std::string& reference) {
    std::size_t first = 0;
    std::size_t last = reference.size();
    while (first < last && IsUrlControlOrSpace(reference[first])) {
        ++first;
    }
    while (last > first && IsUrlControlOrSpace(reference[last - 1])) {
        --last;
    }
    std::string cleaned;
    cleaned.reserve(last - first);
    for (std::size_t i = first; i < last; ++i) {
        const char c = reference[i];
        if (c != '\t' && c != '\n' && c != '\r') {
            cleaned += c;
        }
    }
    return cleaned;
}

constexpr unsigned kUrlFlags = CURLU_NON_SUPPORT_SCHEME | CURLU_URLENCODE;

bool SetUrl(CurlUrl& handle, const std::string& url) {
    return handle.Set(CURLUPART_URL, url, kUrlFlags) == CURLUE_OK ||
           handle.Set(CURLUPART_URL, url, kUrlFlags | CURLU_ALLOW_SPACE) == CURLUE_OK;
}

// Resolves references against one base URL.
class UrlResolver {
  public:
    explicit UrlResolver(const std::string& base) {
        if (base_ && !base.empty() && SetUrl(base_, base)) {
            valid_ = base_.Get(CURLUPART_URL).has_value();
        }
    }

    bool Valid() const { return valid_; }

    // The base URL as libcurl spells it, without a fragment.
    std::optional<std::string> Base() const {
        if (!valid_) {
            return std::nullopt;
        }
        CurlUrl url(curl_url_dup(base_.get()));
        if (!url) {
            return std::nullopt;
        }
        curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
        return url.Get(CURLUPART_URL);
    }

    std::optional<std::string> Resolve(const std::string& reference) const {
        if (!valid_) {
            return std::nullopt;
        }
        CurlUrl url(curl_url_dup(base_.get()));
        if (!url) {
            return std::nullopt;
        }
        const std::string cleaned = CleanReference(reference);
        if (cleaned.empty()) {
            // The document itself, without its fragment.
            curl_url_set(url.get(), CURLUPART_FRAGMENT, nullptr, 0);
        } else if (cleaned.front() == '#') {
            // Same document, another fragment (libcurl would drop the last path segment).
            const unsigned flags = cleaned.size() > 1 ? kUrlFlags : 0;
            if (url.Set(CURLUPART_FRAGMENT, cleaned.substr(1), flags) != CURLUE_OK) {
                return std::nullopt;
            }
        } else if (!SetUrl(url, cleaned)) {
            return std::nullopt;
        }
        return url.Get(CURLUPART_URL);
    }

  private:
    CurlUrl base_;
    bool valid_ = false;
};

// "#name" as the reference writes it; "" when it has no fragment or an empty one.
std::string HashOf(const std::string& reference) {
    const std::string cleaned = CleanReference(reference);
    const std::size_t hash = cleaned.find('#');
    if (hash == std::string::npos || hash + 1 == cleaned.size()) {
        return "";
    }
    return cleaned.substr(hash);
}

// ---------------------------------------------------------------------------------------------
// The tree walk

bool IsHtmlElement(const GumboNode* node) {
    return (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE) &&
           node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

const char* Attribute(const GumboNode* node, const char* name) {
    const GumboAttribute* attribute = gumbo_get_attribute(&node->v.element.attributes, name);
    return attribute != nullptr ? attribute->value : nullptr;
}

std::string AttributeOr(const GumboNode* node, const char* name, const char* fallback = "") {
    const char* value = Attribute(node, name);
    return value != nullptr ? value : fallback;
}

// rel="alternate stylesheet" and the like: one of the blank-separated tokens.
bool RelHasStyleSheet(const char* rel) {
    if (rel == nullptr) {
        return false;
    }
    std::string token;
    for (const char* c = rel;; ++c) {
        if (*c == '\0' || IsAsciiBlank(*c)) {
            if (EqualsNoCase(token, "stylesheet")) {
                return true;
            }
            token.clear();
            if (*c == '\0') {
                return false;
            }
        } else {
            token += *c;
        }
    }
}

// The title as browsers report it: blanks at the ends dropped, runs of blanks made one space.
std::string CollapseWhitespace(const std::string& text) {
    std::string out;
    bool pendingSpace = false;
    for (const char c : text) {
        if (IsAsciiBlank(c)) {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) {
            out += ' ';
            pendingSpace = false;
        }
        out += c;
    }
    return out;
}

// The tag name in a piece of source such as "<A HREF=x>" or "</a >".
std::string_view TagNameIn(GumboStringPiece tag) {
    std::string_view text(tag.data != nullptr ? tag.data : "", tag.length);
    std::size_t begin = 0;
    while (begin < text.size() && (text[begin] == '<' || text[begin] == '/')) {
        ++begin;
    }
    std::size_t end = begin;
    while (end < text.size() && !IsAsciiBlank(text[end]) && text[end] != '/' && text[end] != '>') {
        ++end;
    }
    return text.substr(begin, end - begin);
}

// Does the end tag that closed this element name it? A start tag of another element or the end
// tag of an ancestor also closes elements, and is not theirs.
bool EndTagIsOwn(const GumboElement& element) {
    if (element.original_end_tag.length < 3 || element.original_end_tag.data == nullptr ||
        element.original_end_tag.data[1] != '/') {
        return false;
    }
    const std::string_view closing = TagNameIn(element.original_end_tag);
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        return EqualsNoCase(closing, gumbo_normalized_tagname(element.tag));
    }
    return element.original_tag.length > 0 &&
           EqualsNoCase(closing, TagNameIn(element.original_tag));
}

// Links and images as they are collected, while the parser's tree is alive: they grow in blocks,
// never copied to a larger array on the way.
struct CollectedElements {
    std::deque<LinkElement> links;
    std::deque<ImageElement> images;
};

class TreeCollector {
  public:
    TreeCollector(const std::string& source, Document& document, CollectedElements& collected)
        : source_(source), document_(document), collected_(collected) {}

    void Walk(const GumboNode* root) {
        std::vector<Frame> stack;
        stack.push_back(Enter(root, false));
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const GumboVector& children = ChildrenOf(frame.node);
            if (frame.nextChild < children.length) {
                const auto* child = static_cast<const GumboNode*>(children.data[frame.nextChild]);
                ++frame.nextChild;
                if (child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE) {
                    const bool hidden = frame.hidden || frame.node->type == GUMBO_NODE_TEMPLATE;
                    stack.push_back(Enter(child, hidden));
                } else if (child->type != GUMBO_NODE_DOCUMENT) {
                    const GumboText& text = child->v.text;
                    frame.contentEnd =
                        std::max(frame.contentEnd,
                                 std::size_t{text.start_pos.offset} + text.original_text.length);
                    if (frame.isTitle) {
                        titleText_ += text.text != nullptr ? text.text : "";
                    }
                }
                continue;
            }
            const std::size_t end = Leave(frame);
            stack.pop_back();
            if (!stack.empty()) {
                stack.back().contentEnd = std::max(stack.back().contentEnd, end);
            }
        }
        document_.title = CollapseWhitespace(titleText_);
    }

    const std::optional<std::string>& BaseHref() const { return baseHref_; }
    // Per image: does it have a src attribute at all (an absent one reads as "")?
    const std::vector<bool>& ImageHasSrc() const { return imageHasSrc_; }

  private:
    struct Frame {
        const GumboNode* node = nullptr;
        unsigned nextChild = 0;
        // End offset of the furthest source text inside the element.
        std::size_t contentEnd = 0;
        // Inside a <template>: not part of the document.
        bool hidden = false;
        bool isTitle = false;
        int linkIndex = -1;
        int imageIndex = -1;
    };

    static const GumboVector& ChildrenOf(const GumboNode* node) {
        return node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                 : node->v.element.children;
    }

    Frame Enter(const GumboNode* node, bool hidden) {
        Frame frame;
        frame.node = node;
        frame.hidden = hidden;
        if (node->type == GUMBO_NODE_DOCUMENT || hidden) {
            return frame;
        }
        const GumboElement& element = node->v.element;
        if (const char* id = Attribute(node, "id"); id != nullptr && id[0] != '\0') {
            document_.ids.emplace_back(id);
        }
        // Copies the parser makes of formatting elements to mend mis-nested markup carry the
        // attributes of an element we have already taken.
        const bool parserCopy =
            (node->parse_flags & (GUMBO_INSERTION_RECONSTRUCTED_FORMATTING_ELEMENT |
                                  GUMBO_INSERTION_ADOPTION_AGENCY_CLONED)) != 0;
        if (!IsHtmlElement(node) || parserCopy) {
            return frame;
        }
        switch (element.tag) {
            case GUMBO_TAG_TITLE:
                if (!titleSeen_) {
                    titleSeen_ = true;
                    frame.isTitle = true;
                }
                break;
            case GUMBO_TAG_BASE:
                if (!baseHref_ && Attribute(node, "href") != nullptr) {
                    baseHref_ = AttributeOr(node, "href");
                }
                break;
            case GUMBO_TAG_IMG: {
                ImageElement image;
                image.src = AttributeOr(node, "src");
                image.alt = AttributeOr(node, "alt");
                imageHasSrc_.push_back(Attribute(node, "src") != nullptr);
                frame.imageIndex = static_cast<int>(collected_.images.size());
                collected_.images.push_back(std::move(image));
                break;
            }
            case GUMBO_TAG_A:
            case GUMBO_TAG_AREA: {
                const bool isAnchor = element.tag == GUMBO_TAG_A;
                if (Attribute(node, "href") != nullptr) {
                    LinkElement link;
                    link.href = AttributeOr(node, "href");
                    link.area = !isAnchor;
                    frame.linkIndex = static_cast<int>(collected_.links.size());
                    collected_.links.push_back(std::move(link));
                }
                if (isAnchor && Attribute(node, "name") != nullptr) {
                    document_.anchors.push_back(AnchorElement{AttributeOr(node, "name")});
                }
                break;
            }
            case GUMBO_TAG_SCRIPT:
                document_.scripts.push_back(ScriptElement{AttributeOr(node, "src")});
                break;
            case GUMBO_TAG_LINK:
                if (RelHasStyleSheet(Attribute(node, "rel"))) {
                    document_.styleSheets.push_back(StyleSheetElement{AttributeOr(node, "href")});
                }
                break;
            case GUMBO_TAG_STYLE:
                document_.styleSheets.push_back(StyleSheetElement{""});
                break;
            case GUMBO_TAG_FORM:
                document_.forms.push_back(FormElement{AttributeOr(node, "action")});
                break;
            case GUMBO_TAG_APPLET:
            case GUMBO_TAG_OBJECT: {
                AppletElement applet;
                if (const char* archive = Attribute(node, "archive"); archive != nullptr) {
                    applet.archive = archive;
                }
                applet.codeBase = AttributeOr(node, "codebase");
                applet.code = AttributeOr(node, "code");
                document_.applets.push_back(std::move(applet));
                break;
            }
            case GUMBO_TAG_FRAME:
            case GUMBO_TAG_IFRAME:
                document_.frames.push_back(FrameElement{AttributeOr(node, "src")});
                break;
            default:
                break;
        }
        return frame;
    }

    // Returns the end offset of the element's markup in the source.
    std::size_t Leave(const Frame& frame) {
        if (frame.node->type == GUMBO_NODE_DOCUMENT) {
            return frame.contentEnd;
        }
        const GumboElement& element = frame.node->v.element;
        const bool hasStartTag = element.original_tag.length > 0;
        const std::size_t start = element.start_pos.offset;
        std::size_t end = frame.contentEnd;
        if (hasStartTag) {
            end = std::max(end, start + element.original_tag.length);
        }
        if (EndTagIsOwn(element)) {
            end = std::max(end,
                           std::size_t{element.end_pos.offset} + element.original_end_tag.length);
        }
        end = std::min(end, source_.size());
        if (frame.linkIndex >= 0 || frame.imageIndex >= 0) {
            const MarkupMentions mentions = OuterHtmlMentions(frame, hasStartTag, start, end);
            if (frame.linkIndex >= 0) {
                collected_.links[frame.linkIndex].markup = mentions;
            } else {
                collected_.images[frame.imageIndex].markup = mentions;
            }
        }
        return end;
    }

    // What the element's outerHTML mentions: its markup from the source, or, for an element the
    // parser made up, the markup a browser would show for it.
    MarkupMentions OuterHtmlMentions(const Frame& frame, bool hasStartTag, std::size_t start,
                                     std::size_t end) const {
        if (hasStartTag && start < end) {
            return MarkupMentions::In(std::string_view(source_).substr(start, end - start));
        }
        return MarkupMentions::In(SynthesizedMarkup(frame.node, end));
    }

    // For an element the parser made up: its tag and attributes, and whatever source lies in it.
    std::string SynthesizedMarkup(const GumboNode* node, std::size_t contentEnd) const {
        const GumboElement& element = node->v.element;
        const std::string name = gumbo_normalized_tagname(element.tag);
        std::string markup = "<" + name;
        for (unsigned i = 0; i < element.attributes.length; ++i) {
            const auto* attribute = static_cast<const GumboAttribute*>(element.attributes.data[i]);
            markup += " ";
            markup += attribute->name;
            markup += "=\"";
            markup += attribute->value;
            markup += "\"";
        }
        markup += ">";
        std::size_t contentStart = contentEnd;
        for (unsigned i = 0; i < element.children.length; ++i) {
            const auto* child = static_cast<const GumboNode*>(element.children.data[i]);
            const std::size_t offset =
                child->type == GUMBO_NODE_ELEMENT || child->type == GUMBO_NODE_TEMPLATE
                    ? child->v.element.start_pos.offset
                    : child->v.text.start_pos.offset;
            contentStart = std::min(contentStart, offset);
        }
        if (contentStart < contentEnd && contentEnd <= source_.size()) {
            markup.append(source_, contentStart, contentEnd - contentStart);
        }
        if (name != "img" && name != "area") {
            markup += "</" + name + ">";
        }
        return markup;
    }

    const std::string& source_;
    Document& document_;
    CollectedElements& collected_;
    bool titleSeen_ = false;
    std::string titleText_;
    std::optional<std::string> baseHref_;
    std::vector<bool> imageHasSrc_;
};

// The document's references, written relative, made absolute against its base URL.
void ResolveReferences(Document& document, const std::optional<std::string>& baseHref,
                       const std::vector<bool>& imageHasSrc) {
    const UrlResolver documentUrl(document.url);
    std::string base = document.url;
    if (baseHref) {
        if (auto resolved = documentUrl.Resolve(*baseHref)) {
            base = *resolved;
        }
    }
    const UrlResolver resolver(base);
    if (auto spelled = resolver.Base()) {
        base = *spelled;
    }
    auto absolute = [&resolver](const std::string& reference) {
        std::optional<std::string> resolved = resolver.Resolve(reference);
        return resolved ? std::move(*resolved) : reference;
    };
    for (std::size_t i = 0; i < document.images.size(); ++i) {
        if (imageHasSrc[i]) {
            document.images[i].src = absolute(document.images[i].src);
        }
    }
    for (LinkElement& link : document.links) {
        const std::string hash = HashOf(link.href);
        link.href = absolute(link.href);
        link.SetHash(hash);
    }
    for (AppletElement& applet : document.applets) {
        applet.BaseHref = base;
    }
    for (FrameElement& frame : document.frames) {
        frame.locationHref = CleanReference(frame.locationHref).empty()
                                 ? "about:blank"
                                 : absolute(frame.locationHref);
    }
}

// Into an array of just their number, each block let go as soon as it is moved.
template <typename Element>
std::vector<Element> InOneArray(std::deque<Element>& collected) {
    std::vector<Element> elements;
    elements.reserve(collected.size());
    while (!collected.empty()) {
        elements.push_back(std::move(collected.front()));
        collected.pop_front();
    }
    return elements;
}

// A page this big is parsed while no other is: the walk and the look-ahead may build the same
// page at once, and a parse holds about ten times the page.
constexpr std::size_t kParsedAloneBytes = 4 * kMiB;

std::mutex& BigParseTurn() {
    static std::mutex turn;
    return turn;
}

// The collections grew by doubling; a document kept while its page is walked holds no spare room.
void ShrinkCollections(Document& document) {
    document.images.shrink_to_fit();
    document.applets.shrink_to_fit();
    document.scripts.shrink_to_fit();
    document.styleSheets.shrink_to_fit();
    document.links.shrink_to_fit();
    document.anchors.shrink_to_fit();
    document.frames.shrink_to_fit();
    document.forms.shrink_to_fit();
}

NestingLimits ScaledToPage(const NestingLimits& limits, std::size_t pageSize) {
    constexpr std::size_t kWork = std::size_t{1} << 29;
    const std::size_t size = std::max<std::size_t>(pageSize, 1);
    auto scaled = [size](int limit, std::size_t floor, std::size_t work) {
        const std::size_t allowed = std::max(floor, work / size);
        return static_cast<int>(std::min(static_cast<std::size_t>(std::max(limit, 0)), allowed));
    };
    return NestingLimits{scaled(limits.depth, 32, kWork),
                         scaled(limits.readElementDepth, 64, 2 * kWork)};
}

std::size_t ParserMemoryLimit(const HtmlBuildLimits& limits, std::size_t pageSize) {
    if (limits.parserMemoryBytes != 0) {
        return limits.parserMemoryBytes;
    }
    const std::size_t cap = 1024 * kMiB;
    if (pageSize > cap / 32) {
        return cap;
    }
    return std::min(cap, 64 * kMiB + 32 * pageSize);
}

}  // namespace

Document BuildHtmlDocument(std::string html, std::string url,
                           std::shared_ptr<FileSizeSource> sizeSource,
                           const HtmlBuildLimits& limits) {
    Document document;
    document.url = std::move(url);

    // Over-deep tags are turned into text in place: the outerHTML of elements around them shows
    // that text, and the page is held once.
    LimitHtmlNesting(html, ScaledToPage(limits.nesting, html.size()));

    html.shrink_to_fit();  // the decoder's spare room
    std::optional<std::string> baseHref;
    std::vector<bool> imageHasSrc;
    CollectedElements collected;
    std::unique_lock<std::mutex> turn(BigParseTurn(), std::defer_lock);
    if (html.size() >= kParsedAloneBytes) {
        turn.lock();
    }
    std::size_t length = html.size();
    for (;;) {
        const std::size_t liveLimit = ParserMemoryLimit(limits, length);
        ParserMemory memory(liveLimit, liveLimit * 4);
        GumboOutput* output = ParseWithin(memory, html.data(), length);
        if (output != nullptr) {
            TreeCollector collector(html, document, collected);
            collector.Walk(output->document);
            baseHref = collector.BaseHref();
            imageHasSrc = collector.ImageHasSrc();
            break;  // the parser's memory is freed with `memory`, never by walking the tree
        }
        memory.FreeAll();
        if (length <= kSmallestRetry) {
            break;  // nothing parsed: a document without elements
        }
        length /= 2;
    }
    std::sort(document.ids.begin(), document.ids.end());
    document.ids.erase(std::unique(document.ids.begin(), document.ids.end()), document.ids.end());
    document.ids.shrink_to_fit();
    // The page and the parser's tree are gone before the references are made absolute.
    std::string().swap(html);
    if (turn.owns_lock()) {
        turn.unlock();
    }
    document.links = InOneArray(collected.links);
    document.images = InOneArray(collected.images);
    ResolveReferences(document, baseHref, imageHasSrc);
    for (ImageElement& image : document.images) {
        image.sizeSource = sizeSource;
    }
    ShrinkCollections(document);
    return document;
}

std::string ResolveUrl(const std::string& base, const std::string& reference) {
    std::optional<std::string> resolved = UrlResolver(base).Resolve(reference);
    return resolved ? *resolved : reference;
}

}  // namespace quill::platform
