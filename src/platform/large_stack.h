// Runs a piece of work on a stack of its own, reserved large and committed only as it grows, on the
// calling thread: the crawl's recursion then goes as deep as the site does, and the event pumps of
// the front end work inside it as they do outside.
#pragma once

#include <cstddef>
#include <functional>

namespace quill::platform {

// Address space reserved for the stack; memory is taken only for the part the work touches.
inline constexpr std::size_t kLargeStackReserveBytes = std::size_t{64} << 30;

// Calls `work` on a stack of up to `reserveBytes` (less when the system grants less) and returns
// when it returns. An exception that leaves `work` is thrown again here. When no stack can be had,
// or when already running on one, `work` runs on the current stack.
void RunOnLargeStack(const std::function<void()>& work,
                     std::size_t reserveBytes = kLargeStackReserveBytes);

}  // namespace quill::platform
