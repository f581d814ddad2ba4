#pragma once

#include <functional>

namespace net {

// Where a session delivers delegate events and completions: runs each block, one at a time, in order.
using Executor = std::function<void(std::function<void()>)>;

}  // namespace net
