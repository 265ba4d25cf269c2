// A failure that escaped the walk of a page. It ends the whole run: the walkers that trap failures
// of their own elements let it pass, so it reaches the Start/Stop handler, which ends the run and
// shows it.
#pragma once

#include <stdexcept>
#include <string>

namespace quill {

class RunFailure : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

}  // namespace quill
