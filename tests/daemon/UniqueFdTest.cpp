// The daemon's owner of file descriptors: one owner at a time, one close.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <utility>

#include "base/UniqueFd.h"

using qrvld::UniqueFd;

namespace {
bool isOpen(int fd) { return fcntl(fd, F_GETFD) != -1; }
}  // namespace

TEST(UniqueFd, ClosesOnceWhateverItIsMovedInto) {
  // Moved, the descriptor has one owner, which closes it when it goes.
  int fd;
  {
    UniqueFd first(open("/dev/null", O_RDONLY | O_CLOEXEC));
    fd = first.get();
    UniqueFd second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), fd);
    UniqueFd third;
    third = std::move(second);
    EXPECT_EQ(third.get(), fd);
    EXPECT_TRUE(isOpen(fd));
  }
  EXPECT_FALSE(isOpen(fd));

  // Moved over or reset, the descriptor it held is closed; released, it is not.
  UniqueFd held(open("/dev/null", O_RDONLY | O_CLOEXEC));
  const int old = held.get();
  held = UniqueFd(open("/dev/null", O_RDONLY | O_CLOEXEC));
  EXPECT_FALSE(isOpen(old));
  const int next = held.get();
  held.reset();
  EXPECT_FALSE(isOpen(next));
  held.reset(open("/dev/null", O_RDONLY | O_CLOEXEC));
  const int given = held.release();
  EXPECT_FALSE(held);
  EXPECT_TRUE(isOpen(given));
  close(given);
}
