#include "Configuration.h"

#include <getopt.h>

#include "SettingTable.h"
#include "config/IniFile.h"

namespace qrvld {

namespace {
// Every Value option's name is also a key of the [qrvld] section of the configuration
// file; the [map] section says where each channel's value comes from.
const char* const kSection = "qrvld";
const char* const kMapSection = "map";

// Where --help starts each option's text, and how wide its lines may be.
constexpr std::size_t kHelpColumn = 26;
constexpr std::size_t kHelpWidth = 80;

// Applies settings in order, each layer's lists (the file's, then the command line's)
// replacing those beneath rather than adding to them.
class Layers {
 public:
  explicit Layers(Options& options) : options_(options), given_(settingTable().size()) {}

  void next() { given_.assign(given_.size(), false); }

  bool apply(const Setting& setting, const std::string& value, std::string& error) {
    const auto at = static_cast<std::size_t>(&setting - settingTable().data());
    std::string why;
    if (setting.apply(options_, value, given_[at], why)) {
      given_[at] = true;
      return true;
    }
    error = why.empty() ? "bad " + std::string(setting.name) + " \"" + value + "\": expected " + setting.expected : why;
    return false;
  }

 private:
  Options& options_;
  std::vector<bool> given_;  // by the setting's place in the table
};

const Setting* fileKey(const std::string& name) {
  for (const Setting& setting : settingTable()) {
    if (setting.kind == Setting::Kind::Value && name == setting.name) return &setting;
  }
  return nullptr;
}

bool loadFile(const std::string& path, Layers& layers, ChannelMap& map, std::string& error) {
  return readIniFile(
      path,
      [&](const std::string& section, const std::string& name, const std::string& value, std::string& why) {
        if (section == kMapSection) return map.set(name, value, why);
        if (section != kSection) {
          why = "setting \"" + name + "\" outside the [qrvld] and [map] sections";
          return false;
        }
        const Setting* setting = fileKey(name);
        if (setting == nullptr) {
          why = "unknown setting \"" + name + "\"";
          return false;
        }
        return layers.apply(*setting, value, why);
      },
      error);
}

// "--name ARG" as --help shows it.
std::string optionText(const Setting& setting, const char* name) {
  std::string text = std::string("--") + name;
  if (setting.argument != nullptr) text += std::string(" ") + setting.argument;
  return text;
}
}  // namespace

std::string usageText() {
  std::string text =
      "usage: qrvld [OPTION]...\n"
      "Sensor host daemon: answers sensor reading requests over UDP.\n"
      "\n";
  for (const Setting& setting : settingTable()) {
    std::string left = "  ";
    if (setting.shortName != 0) left += std::string("-") + setting.shortName + ", ";
    left += optionText(setting, setting.name);
    if (setting.alias != nullptr) left += ", " + optionText(setting, setting.alias);
    const std::string help = setting.help;
    // The text starts in its column, after two blanks where the option is wider, and on a
    // line of its own where the two would not fit on one.
    if (left.size() < kHelpColumn) {
      left.resize(kHelpColumn, ' ');
    } else if (left.size() + 2 + help.substr(0, help.find('\n')).size() <= kHelpWidth) {
      left += "  ";
    } else {
      left += "\n" + std::string(kHelpColumn, ' ');
    }
    text += left;
    for (char c : help) text += c == '\n' ? "\n" + std::string(kHelpColumn, ' ') : std::string(1, c);
    text += '\n';
  }
  return text +
         "\n"
         "The same names are keys in the configuration file, e.g.\n"
         "  [qrvld]\n"
         "  listen = 127.0.0.1 ::1\n"
         "  allow = 127.0.0.0/8 ::1 192.168.1.0/24\n"
         "A [map] section chooses each channel's sensor (cpu, pwr, sys, vcore, vtt, vio,\n"
         "fan1, fan2, fan3): CHIP[@DEVICE] ATTRIBUTE [* MULTIPLIER] [+|- OFFSET], or none;\n"
         "  [map]\n"
         "  cpu = k10temp temp1\n"
         "  vio = nct6798 in3 * 2\n"
         "Channels not in it are chosen automatically (see --list).\n"
         "Logs go to stderr, with syslog priority prefixes when it is the journal's stream.\n"
         "SIGHUP reads the configuration file again; SIGUSR1 logs the request counters;\n"
         "SIGTERM and SIGINT stop the daemon. See qrvld(8) and qrvld.conf(5).\n";
}

std::string runningSettings(const Configuration& configuration) {
  const Options& options = configuration.options;
  return "allow " + options.allow.text() + "; rate " + std::to_string(options.burst) + "/" +
         std::to_string(options.perSecond) + " per second" + (options.exemptLoopback ? ", loopback exempt" : "") +
         "; cadence " + std::to_string(options.cadenceMs) + " ms" +
         (options.metrics ? "; metrics " + configuration.web.summary() : "");
}

ParseResult parseConfiguration(int argc, char** argv, Configuration& configuration, std::string& error) {
  // Every option with a value hands back the same code, so that an abbreviation they share
  // takes the first of them as getopt_long does with equal entries; the others have codes
  // of their own, so that an abbreviation shared with them is refused. The index tells which.
  constexpr int kValue = 256;
  constexpr int kCommand = 257;
  const std::vector<Setting>& table = settingTable();
  std::vector<option> longOptions;
  std::vector<const Setting*> settingOf;  // by the index getopt_long gives
  std::string shortOptions = ":";         // a missing value comes back as ':' rather than '?'
  for (const Setting& setting : table) {
    const int has = setting.argument != nullptr ? required_argument : no_argument;
    for (const char* name : {setting.name, setting.alias}) {
      if (name == nullptr) continue;
      const int code = setting.kind == Setting::Kind::Value ? kValue : kCommand + static_cast<int>(settingOf.size());
      longOptions.push_back({name, has, nullptr, code});
      settingOf.push_back(&setting);
    }
    if (setting.shortName != 0) shortOptions += setting.shortName;
  }
  longOptions.push_back({nullptr, 0, nullptr, 0});

  Options& options = configuration.options;
  std::vector<std::pair<const Setting*, std::string>> given;
  bool list = false;
  optind = 1;
  opterr = 0;
  for (;;) {
    int index = -1;
    const int c = getopt_long(argc, argv, shortOptions.c_str(), longOptions.data(), &index);
    if (c == -1) break;
    if (c == ':') {
      error = std::string("option ") + argv[optind - 1] + " needs a value";
      return ParseResult::Error;
    }
    const Setting* setting = nullptr;
    if (c >= kValue) {
      setting = settingOf[static_cast<std::size_t>(index)];
    } else {
      for (const Setting& s : table) {
        if (s.shortName != 0 && s.shortName == c) setting = &s;
      }
    }
    if (setting == nullptr) {
      error = std::string("unknown option ") + argv[optind - 1];
      return ParseResult::Error;
    }
    switch (setting->kind) {
      case Setting::Kind::Help:
        return ParseResult::Help;
      case Setting::Kind::Version:
        return ParseResult::Version;
      case Setting::Kind::Config:
        options.config = optarg;
        break;
      case Setting::Kind::List:
        list = true;
        break;
      case Setting::Kind::Value:
        given.emplace_back(setting, optarg);
        break;
    }
  }
  if (optind < argc) {
    error = std::string("unexpected argument ") + argv[optind];
    return ParseResult::Error;
  }
  Layers layers(options);
  if (!options.config.empty() && !loadFile(options.config, layers, configuration.map, error)) {
    return ParseResult::Error;
  }
  layers.next();
  for (const auto& [setting, value] : given) {
    if (!layers.apply(*setting, value, error)) return ParseResult::Error;
  }
  if (!options.webConfig.empty() && !readWebConfig(options.webConfig, configuration.web, error)) {
    return ParseResult::Error;
  }
  if (options.listenDefault) {
    IpAddress v4;
    IpAddress v6;
    IpAddress::parse("127.0.0.1", v4);
    IpAddress::parse("::1", v6);
    options.listen = {v4, v6};
  }
  return list ? ParseResult::List : ParseResult::Run;
}

}  // namespace qrvld
