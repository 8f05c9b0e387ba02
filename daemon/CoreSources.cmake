# qrvld's sources but main.cpp, relative to this folder: the daemon's library and the fuzz
# targets (fuzz/, a project of its own) are built from this one list.
set(QRVLD_CORE_SOURCES
  AllowList.cpp IniFile.cpp IpAddress.cpp Log.cpp Options.cpp RateLimiter.cpp RequestGate.cpp
  Sampler.cpp Server.cpp SimulatedChip.cpp SourceFactory.cpp UniqueFd.cpp
  AttributeFile.cpp AutoMapping.cpp ChannelMap.cpp ChipList.cpp ChipWorker.cpp HwmonChip.cpp HwmonSource.cpp
  SensorKind.cpp SensorReader.cpp
  MetricsBoard.cpp MetricsKinds.cpp MetricsText.cpp WebConfig.cpp)
