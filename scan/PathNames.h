#pragma once
// Path texts in Windows syntax, on every platform: an optional root (X:\, \\node\ or a single
// separator), then components separated by "\" or "/". The text after the last separator is the
// file-name part. Empty components and "." are dropped; ".." removes the directory before it.
// Paths are written back with single backslashes.
#include <string>
#include <string_view>

namespace Vorlaq {

std::wstring GetFileNamePart(const std::wstring& path);
// Text after the last "." of the file-name part, letter case kept; empty without a dot.
std::wstring GetFileExtension(const std::wstring& path);
// The path written back with the file-name part cut before its last ".".
std::wstring RemoveExtension(const std::wstring& path);
// Without the file-name part, or without the last directory when there is no file-name part.
std::wstring GetParentPath(const std::wstring& path);
// base's file-name part becomes a directory, then rest's directories and file-name part follow;
// rest's root is ignored.
std::wstring JoinPath(const std::wstring& base, const std::wstring& rest);
// A name without separators or a drive prefix, whose file-name part is the text itself.
bool IsPlainName(std::wstring_view text);
// The extension of such a name, as a view into it.
std::wstring_view GetPlainNameExtension(std::wstring_view name);
// Each of \ / : * ? " < > | replaced by `replacement`.
std::wstring ReplaceInvalidChars(const std::wstring& name, const std::wstring& replacement);
// A file name from a volume made fit to be joined to a folder as one component: the nine
// characters above and the control characters U+0000 to U+001F (a NUL would end the path the
// system sees, leaving the folder itself) become "_", and "." and ".." (which a join reads as
// folders) become "_" and "__", so no stored name can lead outside the folder. An empty name
// becomes "_". A device name (IsReservedDeviceName) gains "_" at the end of its stem ("nul_",
// "CON_.txt") on every system, so a file restored anywhere can be copied to Windows as it is.
std::wstring SafeFileName(const std::wstring& name);
// A name Windows opens as a device whatever folder it is joined to: CON, PRN, AUX, NUL, CONIN$,
// CONOUT$, COM0-9 and LPT0-9 in any letter case, with or without an extension, blanks before the
// first dot ignored ("nul", "Com1.tar.gz", "aux .txt").
bool IsReservedDeviceName(std::wstring_view name);

}  // namespace Vorlaq
