#pragma once

#include <string>
#include <vector>

#include "config/Options.h"

namespace qrvld {

// One option of qrvld's command line. getopt, --help, the [qrvld] section of the
// configuration file (whose keys are the names of the Value options) and SIGHUP all work
// from the one table of them, settingTable().
struct Setting {
  // What the command line does with it.
  enum class Kind { Help, Version, List, Config, Value };
  // When a changed value takes effect: on SIGHUP, or at the next start only.
  enum class Change { Never, AtOnce, AtRestart };

  const char* name;
  char shortName;        // 0: none
  const char* alias;     // a second long name, on the command line only; null for none
  const char* argument;  // the value as --help names it; null for an option without one
  const char* help;      // its lines in --help, '\n' between them
  Kind kind;
  Change change;
  const char* expected;  // what a value it refuses should have been, for the error
  // Parses `value` into `options`; `again` when an earlier value of the same layer (the
  // file, or the command line) is there already, which a list adds to rather than
  // replaces. False to refuse it; `error` is then set, or left empty for "bad ...: expected".
  bool (*apply)(Options& options, const std::string& value, bool again, std::string& error);
  // AtOnce: copies its fields from `fresh`. AtRestart: whether `fresh` has other values.
  void (*take)(Options& now, const Options& fresh);
  bool (*differs)(const Options& now, const Options& fresh);
};

// Every option, in the order --help lists them.
const std::vector<Setting>& settingTable();

}  // namespace qrvld
