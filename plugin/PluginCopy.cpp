// Copy assignment of the plug-in classes: a byte copy of the whole object, as declared.
#include "QRVLPLUG.h"

#include <cstring>

namespace {
template <typename T>
T& copyBytes(T& to, const T& from) {
  if (&to != &from) std::memcpy(static_cast<void*>(&to), &from, sizeof(T));
  return to;
}
}  // namespace

SOCKLIB& SOCKLIB::operator=(const SOCKLIB& other) { return copyBytes(*this, other); }

UDPCSock& UDPCSock::operator=(const UDPCSock& other) { return copyBytes(*this, other); }

// What this object owns would be lost under the copied bytes.
QRVLPLUG& QRVLPLUG::operator=(const QRVLPLUG& other) {
  if (this != &other) Destroy();
  return copyBytes(*this, other);
}
