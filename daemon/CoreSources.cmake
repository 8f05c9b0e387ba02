# qrvld's sources but main.cpp, relative to this folder: the daemon's library and the fuzz
# targets (fuzz/, a project of its own) are built from this one list.
set(QRVLD_CORE_SOURCES
  base/Log.cpp base/MonotonicClock.cpp base/UniqueFd.cpp
  net/AllowList.cpp net/IpAddress.cpp net/RateLimiter.cpp net/RequestGate.cpp
  hwmon/AttributeFile.cpp hwmon/ChipWorker.cpp hwmon/HwmonChip.cpp hwmon/SensorKind.cpp
  hwmon/SensorReader.cpp
  mapping/AutoMapping.cpp mapping/ChannelMap.cpp mapping/ChipList.cpp
  metrics/MetricsBoard.cpp metrics/MetricsText.cpp
  source/HwmonSource.cpp source/Sampler.cpp source/SimulatedChip.cpp source/SourceFactory.cpp
  http/WebConfig.cpp
  config/IniFile.cpp
  Configuration.cpp SettingTable.cpp Server.cpp)
