// UTF-8 and UTF-16, the two encodings the program's texts travel in: the components and the
// audio and telephony services speak UTF-16, while files, settings, the terminal and the
// configuration speak UTF-8.
//
//   std::u16string name = host::to_utf16(path.string());
//   std::cout << host::to_utf8(caps.szPname);
#pragma once

#include <string>
#include <string_view>

namespace orvexa::host {

// Never fails and never reads past the input. A byte that cannot begin a sequence, and a
// sequence cut short, overlong, encoding a surrogate or past U+10FFFF, becomes U+FFFD: one for
// each longest start of a well-formed sequence, as the Unicode standard recommends, so the
// bytes after it are read again as they are. Zero bytes are characters like any other.
std::u16string to_utf16(std::string_view utf8);

// A surrogate without its partner becomes U+FFFD (EF BF BD); everything else is encoded as is.
std::string to_utf8(std::u16string_view utf16);

}  // namespace orvexa::host
