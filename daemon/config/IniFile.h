#pragma once

#include <functional>
#include <string>

namespace qrvld {

// Called for each setting in file order; false with a reason stops the reading there.
using IniHandler = std::function<bool(const std::string& section, const std::string& name,
                                      const std::string& value, std::string& error)>;

// Reads an INI file with inih, handing it whole lines only: a line longer than inih's line
// buffer, which it would split and read the rest of as a line of its own, is refused, and so
// is a NUL byte, after which inih would ignore the rest of its line. Only a regular file is
// read, so a folder, a device or a FIFO named as the file is refused rather than read as
// empty or waited on. False with "PATH:LINE: reason", or a reason for the whole file.
bool readIniFile(const std::string& path, const IniHandler& handler, std::string& error);

}  // namespace qrvld
