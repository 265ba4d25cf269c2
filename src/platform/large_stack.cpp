#include "platform/large_stack.h"

#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <exception>

namespace quill::platform {
namespace {

// Below this a separate stack is not worth the switch.
constexpr std::size_t kSmallestReserve = std::size_t{16} << 20;

// A mapping that grows into memory page by page as it is touched, with an inaccessible page at its
// low end so that running off it faults instead of writing into a neighbour.
class StackMapping {
  public:
    explicit StackMapping(std::size_t reserveBytes) {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        // The system may refuse a large reservation (overcommit turned off, address-space
        // limits): ask for less until it agrees.
        for (std::size_t size = reserveBytes / page * page; size >= kSmallestReserve; size /= 2) {
            void* base = mmap(nullptr, size, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
            if (base == MAP_FAILED) {
                continue;
            }
            if (mprotect(base, page, PROT_NONE) != 0) {
                munmap(base, size);
                continue;
            }
            base_ = base;
            size_ = size;
            guard_ = page;
            return;
        }
    }
    ~StackMapping() {
        if (base_ != nullptr) {
            munmap(base_, size_);
        }
    }
    StackMapping(const StackMapping&) = delete;
    StackMapping& operator=(const StackMapping&) = delete;

    bool Usable() const { return base_ != nullptr; }
    void* Bottom() const { return static_cast<char*>(base_) + guard_; }
    std::size_t Size() const { return size_ - guard_; }

  private:
    void* base_ = nullptr;
    std::size_t size_ = 0;
    std::size_t guard_ = 0;
};

// What the stack's entry function needs; one run at a time per thread.
struct Switch {
    const std::function<void()>* work = nullptr;
    std::exception_ptr failure;
    ucontext_t caller{};
    ucontext_t callee{};
};

thread_local Switch* current = nullptr;

void Enter() {
    Switch& now = *current;
    try {
        (*now.work)();
    } catch (...) {
        // Exceptions do not cross the switch; the caller throws it again on its own stack.
        now.failure = std::current_exception();
    }
    // Returning goes to uc_link, the caller.
}

// Runs the switch's work on the stack and returns once it is done; false when the switch could not
// be made (the work has not run). Kept apart from the caller: getcontext returns twice.
[[gnu::noinline]] bool RunOn(const StackMapping& stack, Switch& run) {
    if (getcontext(&run.callee) != 0) {
        return false;
    }
    run.callee.uc_stack.ss_sp = stack.Bottom();
    run.callee.uc_stack.ss_size = stack.Size();
    run.callee.uc_link = &run.caller;
    makecontext(&run.callee, &Enter, 0);
    current = &run;
    const bool switched = swapcontext(&run.caller, &run.callee) == 0;
    current = nullptr;
    return switched;
}

}  // namespace

void RunOnLargeStack(const std::function<void()>& work, std::size_t reserveBytes) {
    if (current != nullptr) {
        work();
        return;
    }
    const StackMapping stack(reserveBytes);
    Switch run;
    run.work = &work;
    if (!stack.Usable() || !RunOn(stack, run)) {
        work();
        return;
    }
    if (run.failure) {
        std::rethrow_exception(run.failure);
    }
}

}  // namespace quill::platform
