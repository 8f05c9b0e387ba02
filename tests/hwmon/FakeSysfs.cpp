#include "FakeSysfs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "TempFiles.h"

namespace fs = std::filesystem;

namespace qrvltest {

namespace {
bool endsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
}  // namespace

FakeSysfs::FakeSysfs(const std::string& tree) {
  top_ = tempFolder("qrvl-sysfs");
  fs::copy(fs::path(QRVL_TREES) / tree, top_, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
}

FakeSysfs::~FakeSysfs() {
  std::error_code ignored;
  fs::remove_all(top_, ignored);
}

void FakeSysfs::write(const std::string& entry, const std::string& attribute, const std::string& text) const {
  // Truncated and rewritten, not replaced: open files see the new text, as in sysfs.
  writeFile(root() + "/" + entry + "/" + attribute, text + "\n");
}

void FakeSysfs::remove(const std::string& entry, const std::string& attribute) const {
  fs::remove(root() + "/" + entry + "/" + attribute);
}

void FakeSysfs::replace(const std::string& entry, const std::string& attribute, const std::string& text) const {
  const std::string path = root() + "/" + entry + "/" + attribute;
  writeFile(path + ".new", text + "\n");
  fs::rename(path + ".new", path);
}

void FakeSysfs::makeFifo(const std::string& entry, const std::string& attribute) const {
  const std::string path = root() + "/" + entry + "/" + attribute;
  fs::remove(path);
  if (mkfifo(path.c_str(), 0644) != 0) throw std::runtime_error("mkfifo failed: " + path);
}

void FakeSysfs::renumber(const std::map<std::string, std::string>& renames) const {
  // Through temporary names, so that two chips may swap numbers.
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& [from, to] : renames) {
      const std::string oldName = pass == 0 ? from : "renaming-" + to;
      const std::string newName = pass == 0 ? "renaming-" + to : to;
      const fs::path link = fs::path(root()) / oldName;
      const fs::path target = fs::read_symlink(link);
      const fs::path directory = fs::path(root()) / target;
      const fs::path newDirectory = directory.parent_path() / newName;
      fs::rename(directory, newDirectory);
      fs::remove(link);
      fs::create_directory_symlink(target.parent_path() / newName, fs::path(root()) / newName);
    }
  }
}

void FakeSysfs::unplug(const std::string& entry) {
  const fs::path link = fs::path(root()) / entry;
  const fs::path directory = fs::canonical(link);
  const fs::path kept = fs::path(top_) / ("unplugged-" + entry);
  fs::copy(directory, kept, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  fs::remove_all(directory);
  fs::remove(link);
  unplugged_[entry] = directory.string();
}

void FakeSysfs::plug(const std::string& oldEntry, const std::string& newEntry) {
  const fs::path directory = fs::path(unplugged_.at(oldEntry)).parent_path() / newEntry;
  fs::copy(fs::path(top_) / ("unplugged-" + oldEntry), directory,
           fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  fs::create_directory_symlink(fs::relative(directory, root()), fs::path(root()) / newEntry);
}

std::string pathOf(int fd) {
  char path[4096];
  const ssize_t n = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), path, sizeof path - 1);
  return n > 0 ? std::string(path, static_cast<std::size_t>(n)) : std::string();
}

qrvld::ReadFunction SysfsReads::function() {
  return [this](int fd, void* buffer, std::size_t size, off_t offset) -> ssize_t {
    struct stat status{};
    if (fstat(fd, &status) == 0 && status.st_nlink == 0) {
      errno = ENODEV;
      return -1;
    }
    if (!failing.empty() && endsWith(pathOf(fd), failing)) {
      errno = error;
      return -1;
    }
    return pread(fd, buffer, size, offset);
  };
}

}  // namespace qrvltest
