#pragma once
// File-system calls the engine and the shell need. Every failure reports a Windows error code
// (the POSIX implementation maps errno onto the same codes), so log texts are the same everywhere.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace Vorlaq {

enum WinError : uint32_t {
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorAccessDenied = 5,
    kErrorInvalidDrive = 15,
    kErrorWriteFault = 29,
    kErrorReadFault = 30,
    kErrorSharingViolation = 32,
    kErrorHandleDiskFull = 39,
    kErrorFileExists = 80,
    kErrorInvalidParameter = 87,
    kErrorDiskFull = 112,
    kErrorInvalidName = 123,
    kErrorNotReady = 21,
    kErrorAlreadyExists = 183,
    kErrorFilenameExcedRange = 206,
};

// GetFileAttributesW: true when an entry (file or folder) exists; otherwise *error says why.
bool QueryFileAttributes(const std::wstring& path, uint32_t* error);
bool IsDirectoryPath(const std::wstring& path);
bool QueryFileSize(const std::wstring& path, uint64_t* size, uint32_t* error);
bool RemoveFilePath(const std::wstring& path, uint32_t* error);
// Creates the folder and every missing parent; true when it exists afterwards.
bool CreateDirectoryTree(const std::wstring& path, uint32_t* error);

// A new file opened for writing, replacing any file of that name (CREATE_ALWAYS, no sharing).
class WritableFile {
public:
    virtual ~WritableFile() = default;
    static std::unique_ptr<WritableFile> CreateAlways(const std::wstring& path, uint32_t* error);
    // False when the call failed; *written may still be short of `length` on a full disk.
    virtual bool Write(const void* data, uint32_t length, uint32_t* written, uint32_t* error) = 0;
    // Flushes and closes; false when the platform reported an error on the way.
    virtual bool Close(uint32_t* error) = 0;
};

// Opens an existing file (never creates it), sharing reads and writes, appends the bytes at
// its end and closes it again.
bool AppendToExistingFile(const std::wstring& path, std::string_view bytes);

// Text for the log file: the system ANSI code page on Windows, UTF-8 elsewhere.
std::string WideToLogBytes(std::wstring_view text);

// Writes UTF-8 text to standard output and flushes it.
void WriteStandardOutput(std::wstring_view text);

// A path in Windows syntax as this system writes paths, for showing it to a user: backslashes
// become slashes on POSIX; unchanged on Windows.
std::wstring NativePathText(const std::wstring& path);

// GetDriveTypeW of a root such as C:\ (2 removable, 3 fixed). Without drive letters: 1, no root.
uint32_t QueryDriveType(const std::wstring& root);

}  // namespace Vorlaq
