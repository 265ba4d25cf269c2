// Tells the file size of the images in the documents the browser builds (the markup advisory on
// bulky images reads it): the engine's Content-Length for that URL when it has seen one, else a
// HEAD request through the engine (a GET when the HEAD gives no length), waited for. Answers are
// kept per URL. Used on the thread that walks the documents.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/document.h"
#include "platform/transfer_engine.h"

namespace quill::platform {

class EngineFileSizeSource final : public FileSizeSource {
  public:
    static constexpr long kDefaultTimeoutSeconds = 60;

    explicit EngineFileSizeSource(TransferEngine& engine,
                                  long timeoutSeconds = kDefaultTimeoutSeconds);

    // Decimal bytes; "-1" when the size cannot be had (no answer, an error status, no engine).
    // A body without Content-Length is counted, up to 32 MiB: a bigger one reads as 32 MiB.
    std::string FileSizeOf(const std::string& absoluteUrl) override;

    // From now on sizes not yet known are "-1": the engine is going away while documents that
    // hold this source may live on.
    void Detach();

  private:
    std::optional<long long> Learn(TransferEngine& engine, const std::string& url) const;

    std::mutex mutex_;
    TransferEngine* engine_;
    const long timeoutSeconds_;
    std::map<std::string, std::string> known_;
};

}  // namespace quill::platform
