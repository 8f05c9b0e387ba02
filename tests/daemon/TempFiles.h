#pragma once

#include <string>

namespace qrvltest {

// A new empty file or folder under /tmp, named `name` and a random suffix.
std::string tempFile(const std::string& name = "qrvld-test");
std::string tempFolder(const std::string& name = "qrvld-test");
// A new file under /tmp holding `text`: a configuration file for a test.
std::string tempFileWith(const std::string& text, const std::string& name = "qrvld-config");

// Makes `path` hold exactly `text`, and returns it; what a file holds.
std::string writeFile(const std::string& path, const std::string& text);
std::string readFile(const std::string& path);

}  // namespace qrvltest
