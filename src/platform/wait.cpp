#include "platform/wait.h"

#include <chrono>
#include <thread>

namespace quill::platform {

void ThreadSleeper::Sleep(int milliseconds) {
    if (milliseconds > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
}

}  // namespace quill::platform
