#pragma once
// Names cut to what the destination can hold in one path component (255 UTF-8 bytes on Linux file
// systems, 255 UTF-16 units on Windows). A name that fits is left as it is. One that does not
// keeps its extension and loses the end of its stem, cut between characters (never inside a
// surrogate pair or a UTF-8 sequence), and gains "~" and eight hex digits taken from the whole
// name, so two long names that share their start stay two names and the same name is always cut
// the same way.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/os/Files.h"

namespace Vorlaq {

// `name` with `tail` put before its extension ("a.txt" and "_0": "a_0.txt"), fitted to `limit`
// (counted as NativeNameLength counts). Without `keepExtension`, or for a name whose only dot is
// its first character (".bashrc"), the tail goes at the end. An extension too long to be worth
// keeping counts as part of the stem.
std::wstring FittedName(std::wstring_view name, std::wstring_view tail = {}, bool keepExtension = true,
                        size_t limit = kMaxNativeNameLength);

// The name a restored file is given: the stored name made safe (SafeFileName), then fitted.
std::wstring DestinationName(const std::wstring& storedName);

}  // namespace Vorlaq
