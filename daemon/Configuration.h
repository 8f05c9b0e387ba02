#pragma once

#include <string>

#include "config/Options.h"
#include "http/WebConfig.h"
#include "mapping/ChannelMap.h"

namespace qrvld {

// Everything the daemon is told: the options, the [map] section of the configuration
// file and the web configuration file the options name.
struct Configuration {
  Options options;
  ChannelMap map;
  WebConfig web;
};

enum class ParseResult { Run, Help, Version, List, Error };

// Reads the command line; a --config file is read first and the other options override
// it, then the web configuration file they name. On Error, `error` holds a one-line reason.
ParseResult parseConfiguration(int argc, char** argv, Configuration& configuration, std::string& error);

// What --help prints, the options as the setting table lists them.
std::string usageText();

// The settings a reload can change, as the log shows them: "allow ...; rate ...; cadence ...;
// metrics https, ...".
std::string runningSettings(const Configuration& configuration);

}  // namespace qrvld
