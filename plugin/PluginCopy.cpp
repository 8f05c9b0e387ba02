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

QRVLPLUG& QRVLPLUG::operator=(const QRVLPLUG& other) { return copyBytes(*this, other); }
