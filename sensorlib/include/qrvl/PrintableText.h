#pragma once
// Text that came from a server, made safe to show on a terminal or in a one-line failure.

#include <string>
#include <string_view>

namespace qrvl {

// The text with every control character (C0, DEL, C1) and every byte that is not part of
// UTF-8 written as \xHH; letters of any script stay as they are. What it returns comes
// back unchanged, so a text escaped twice reads as one escaped once.
std::string printable(std::string_view text);

}  // namespace qrvl
