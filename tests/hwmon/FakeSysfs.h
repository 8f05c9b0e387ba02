#pragma once

#include <sys/types.h>

#include <map>
#include <string>

#include "hwmon/AttributeFile.h"

namespace qrvltest {

// A private copy of one of the sysfs trees in trees/ (intel, amd, xeon), to change as the
// kernel would: values rewritten in place, chips removed and added back, hwmonN renamed.
class FakeSysfs {
 public:
  explicit FakeSysfs(const std::string& tree);
  ~FakeSysfs();
  FakeSysfs(const FakeSysfs&) = delete;
  FakeSysfs& operator=(const FakeSysfs&) = delete;

  // The tree's top folder, as /sys is for the real one.
  const std::string& top() const { return top_; }
  // top/class/hwmon
  std::string root() const { return top_ + "/class/hwmon"; }

  // Rewrites an attribute of the chip at `entry` (hwmonN) in place, as a new reading.
  void write(const std::string& entry, const std::string& attribute, const std::string& text) const;
  // What sysfs never does but a tree given as --sysfs-root may: an attribute removed, put
  // back as another file (renamed over it), or made a FIFO that blocks whoever opens it.
  void remove(const std::string& entry, const std::string& attribute) const;
  void replace(const std::string& entry, const std::string& attribute, const std::string& text) const;
  void makeFifo(const std::string& entry, const std::string& attribute) const;
  // Renames entries, e.g. {"hwmon2", "hwmon0"}, as another boot that probed the chips in
  // another order would; both the class link and the directory it points to.
  void renumber(const std::map<std::string, std::string>& renames) const;
  // Removes the chip at `entry` as unloading its driver does; it is kept aside for plug().
  void unplug(const std::string& entry);
  // Brings an unplugged chip back under `newEntry`, as loading its driver again does.
  void plug(const std::string& oldEntry, const std::string& newEntry);

 private:
  std::string top_;
  std::map<std::string, std::string> unplugged_;  // entry -> the directory's path in the tree
};

// The path of the file open as `fd`.
std::string pathOf(int fd);

// Reads the way sysfs does: a file of a removed chip answers ENODEV where a regular file
// would go on giving its old bytes. `failing` set, reads of attribute files whose path
// ends with it fail with `error` instead.
struct SysfsReads {
  std::string failing;
  int error = 0;

  qrvld::ReadFunction function();
};

}  // namespace qrvltest
