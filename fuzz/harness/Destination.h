#pragma once
// Where a found file is restored when the user picks a folder, and the promise that goes with
// it: the destination lies directly inside that folder, whatever name the volume gave the file.
#include <filesystem>
#include <string>

namespace QuorretFuzz {

// The destination the dialog and quorret-cli use for a file named `name` restored into `folder`
// (a path in the engine's syntax): the file CreateUniqueFile makes there, left empty; empty when
// none could be made.
std::wstring DestinationFor(const std::wstring& folder, const std::wstring& name);

// True when `path` names an entry directly inside `folder`, not the folder itself nor anything
// above or below it.
bool IsDirectlyInside(const std::wstring& folder, const std::wstring& path);

// The engine's path (backslashes) as the local file system spells it, and back.
std::filesystem::path NativePath(const std::wstring& path);
std::wstring EnginePath(const std::filesystem::path& path);

// A fresh empty folder under the system's temporary folder, named after `stem`.
std::filesystem::path MakeScratchFolder(const std::string& stem);

}  // namespace QuorretFuzz
