#pragma once
// Sensor library interface: a QRVLPLUG object connects to a sensor host once and then
// fills LMDATA records with its readings.

#include <atomic>
#include <cstdint>

namespace qrvl {
class Source;
}  // namespace qrvl

#if defined(_WIN32)
#  if defined(QRVLPLUG_BUILDING_DLL)
#    define QRVLPLUG_API __declspec(dllexport)
#  else
#    define QRVLPLUG_API __declspec(dllimport)
#  endif
// Exported by every module that links them, the library and the monitor executable alike.
#  define QRVLPLUG_COPY_API __declspec(dllexport)
#else
#  define QRVLPLUG_API
#  define QRVLPLUG_COPY_API
#endif

// One reading: decimal texts in the C locale, each ending in a NUL within its 8 bytes
// (an empty text is a channel without a value).
struct LMDATA {
  char CpuTemp[8];               // degrees Celsius, one decimal
  char PwrTemp[8];
  char SysTemp[8];
  char Vcore[8];                 // volts, three decimals
  char Vtt[8];
  char Vio[8];
  char Fan1[8];                  // revolutions per minute, no decimals
  char Fan2[8];
  char Fan3[8];
  unsigned char SampleTime[8];   // u64 little-endian, ms since 1970-01-01 UTC
  unsigned char Reserved[24];
};

// Socket-library session of one plug-in object and why its last call failed.
class SOCKLIB {
 public:
  QRVLPLUG_COPY_API SOCKLIB& operator=(const SOCKLIB& other);  // copies every byte

 protected:
  int libStarted;          // the platform's socket library was started by Create
  int lastError;           // system error code of the last failure, 0 when none
  char lastFailure[648];   // one line saying why the last Create or Get failed
};

// The datagram socket connected to the sensor host.
class UDPCSock {
 public:
  QRVLPLUG_COPY_API UDPCSock& operator=(const UDPCSock& other);  // copies every byte

  std::uintptr_t handle;          // socket handle, all ones when closed; the source owns it
  unsigned char peer[28];         // host's address, a sockaddr_in or sockaddr_in6
  int peerLength;
  std::uint32_t nextSequence;     // sequence number of the next request
  std::uint32_t strayCount;       // datagrams ignored during the last Get
  std::atomic<int> cancelled;     // set by Cancel from another thread, cleared by Create
  // Where readings come from (a sensor host, a web server, or this machine's qrvld with its
  // web server behind), owned by the plug-in object at `owner`. A byte copy of the object,
  // at another address, holds both and owns neither.
  qrvl::Source* source;
  const void* owner;
#if UINTPTR_MAX == UINT32_MAX
  unsigned char reserved[8];  // keeps the 32-bit layout at 64 bytes
#endif
};

// The sensor plug-in: Create once, Get per poll, Destroy at the end.
class QRVLPLUG : public SOCKLIB {
 public:
  QRVLPLUG_API QRVLPLUG();
  QRVLPLUG_API ~QRVLPLUG();
  // Copies every byte. The copy holds no source of its own: until its own Create, its Get
  // fails and says so, and destroying it releases nothing of the object copied; an
  // object's own source is released before it takes the copy.
  QRVLPLUG_COPY_API QRVLPLUG& operator=(const QRVLPLUG& other);

  // Connects to "name", "name:port", "[v6-address]" or "[v6-address]:port" (default port
  // 27183), or reads a LibreHardwareMonitor web server at
  // "http://[user:password@]host[:port][/][?channel=SensorId&...]" (default port 8085).
  // For this machine on the default port ("localhost", "127.0.0.1", "::1") a Get that
  // qrvld does not answer reads the machine's own web server on port 8085 instead.
  // Non-zero when ready for Get.
  QRVLPLUG_API int Create(const char* host);
  // One reading, waiting at most `timeout` milliseconds. Non-zero on success; `data` is
  // written only then.
  QRVLPLUG_API int Get(LMDATA& data, unsigned timeout);
  // Releases what Create set up; harmless when Create failed, never ran, or on a second call.
  QRVLPLUG_API void Destroy();
  // For stopping a thread that may be inside Get: callable from any thread, it makes a
  // waiting Get return 0 within some 20 ms, and every later Get until the next Create.
  QRVLPLUG_API void Cancel();
  // Why the last Create or Get failed; empty after a success, but for a Get that read this
  // machine's LibreHardwareMonitor in place of qrvld, which it names.
  QRVLPLUG_API const char* LastFailure() const;

 private:
  // The source when this object owns it, else null (never created, destroyed, or a copy).
  qrvl::Source* ownSource() const;

  UDPCSock sock;
};

static_assert(sizeof(LMDATA) == 104, "LMDATA is the 104-byte record");
static_assert(sizeof(std::atomic<int>) == sizeof(int), "the cancel flag keeps the layout");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(UDPCSock) == 64, "UDPCSock is 64 bytes in the 32-bit build");
static_assert(sizeof(SOCKLIB) == 656, "SOCKLIB is 656 bytes in the 32-bit build");
static_assert(sizeof(QRVLPLUG) == 720, "QRVLPLUG is 720 bytes in the 32-bit build");
#endif
