#pragma once

#include <memory>
#include <string>

#include "hwmon/AttributeFile.h"

namespace qrvltest {

// pread, except that a read of a file whose path ends with `path` hangs until release(),
// as a read that a driver never completes. Its state is shared with the read function, so
// a worker still held in such a read when the test ends touches nothing freed.
class HangingRead {
 public:
  explicit HangingRead(std::string path);
  // Releases the reads it holds.
  ~HangingRead();
  HangingRead(const HangingRead&) = delete;
  HangingRead& operator=(const HangingRead&) = delete;

  qrvld::ReadFunction function() const;
  // From now on such reads go through, and those held return.
  void release();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace qrvltest
