#include "HangingRead.h"

#include <unistd.h>

#include <condition_variable>
#include <mutex>

#include "FakeSysfs.h"

namespace qrvltest {

struct HangingRead::State {
  std::string path;
  std::mutex mutex;
  std::condition_variable released;
  bool free = false;
};

HangingRead::HangingRead(std::string path) : state_(std::make_shared<State>()) { state_->path = std::move(path); }

HangingRead::~HangingRead() { release(); }

qrvld::ReadFunction HangingRead::function() const {
  return [state = state_](int fd, void* buffer, std::size_t size, off_t offset) -> ssize_t {
    const std::string path = pathOf(fd);
    if (path.size() >= state->path.size() &&
        path.compare(path.size() - state->path.size(), state->path.size(), state->path) == 0) {
      std::unique_lock<std::mutex> lock(state->mutex);
      state->released.wait(lock, [&state] { return state->free; });
    }
    return pread(fd, buffer, size, offset);
  };
}

void HangingRead::release() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->free = true;
  }
  state_->released.notify_all();
}

}  // namespace qrvltest
