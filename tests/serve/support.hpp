// Helpers of the served panel's tests: the real panel and library, a session whose
// trace is kept as readable text, and a temporary folder.
#pragma once

#include <mutex>
#include <string>

#include "sim/serve/session.hpp"
#include "tests/support/temp_dir.hpp"

namespace hmi::sim::serve::test {

const Panel& real_panel();
const std::shared_ptr<const Library>& real_library();

// The trace as readable lines; the simulator's thread writes it, the test reads it.
class TraceText {
  public:
    Sink sink();
    std::string take();

  private:
    std::mutex mutex_;
    std::string text_;
};

using hmi::test::TempDir;

}  // namespace hmi::sim::serve::test
