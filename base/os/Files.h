#pragma once
// File-system calls the engine and the shell need. Every failure reports a Windows error code
// (the POSIX implementation maps errno onto the same codes), so log texts are the same everywhere.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace Vorlaq {

enum WinError : uint32_t {
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorAccessDenied = 5,
    kErrorInvalidDrive = 15,
    kErrorWriteFault = 29,
    kErrorReadFault = 30,
    kErrorSharingViolation = 32,
    kErrorBadDeviceType = 66,  // a FIFO, socket or terminal where a disk or an image was wanted
    kErrorNotSupported = 50,
    kErrorHandleDiskFull = 39,
    kErrorFileExists = 80,
    kErrorInvalidParameter = 87,
    kErrorDiskFull = 112,
    kErrorInvalidName = 123,
    kErrorNotReady = 21,
    kErrorAlreadyExists = 183,
    kErrorFilenameExcedRange = 206,
    kErrorDirectory = 267,         // an entry that should be a folder is not one
    kErrorStoppedOnSymlink = 681,  // an entry that is a link (a junction or other reparse point)
};

// The operating system's own words for the failure this thread last reported as `error`
// ("Permission denied"); empty where the Windows error code already says all the system says.
std::wstring SystemErrorReason(uint32_t error);

// GetFileAttributesW: true when an entry (file or folder) exists; otherwise *error says why.
bool QueryFileAttributes(const std::wstring& path, uint32_t* error);
bool IsDirectoryPath(const std::wstring& path);
bool QueryFileSize(const std::wstring& path, uint64_t* size, uint32_t* error);
bool RemoveFilePath(const std::wstring& path, uint32_t* error);
// Creates the folder and every missing parent; true when it exists afterwards.
bool CreateDirectoryTree(const std::wstring& path, uint32_t* error);

// A new file opened for writing, replacing any file of that name (CREATE_ALWAYS, no sharing).
// Only for a path the user confirmed as the one to overwrite; a name the program picks is made
// through Folder::CreateNewFile.
class WritableFile {
public:
    virtual ~WritableFile() = default;
    static std::unique_ptr<WritableFile> CreateAlways(const std::wstring& path, uint32_t* error);
    // False when the call failed; *written may still be short of `length` on a full disk.
    virtual bool Write(const void* data, uint32_t length, uint32_t* written, uint32_t* error) = 0;
    // Extends the file by `length` zero bytes after what was written, storing none of them where
    // the destination allows (a sparse file); else it writes the zeros. The next Write follows them.
    virtual bool WriteHole(uint64_t length, uint32_t* error) = 0;
    // Sets the file's times (UTC FILETIMEs; 0 leaves that time as it is) through the open file, so
    // no name is looked up again: modification and access everywhere, creation where the system
    // keeps one (Windows). Call after the last Write.
    virtual bool SetTimes(uint64_t created, uint64_t modified, uint64_t accessed, uint32_t* error) = 0;
    // A new named data stream `stream` of this file (on NTFS, "file:stream"), opened through this
    // file's own handle so that no name is looked up again. Null, with kErrorNotSupported, where
    // the destination keeps no named streams (POSIX systems, FAT); `stream` must be a name that
    // is safe as a file name.
    virtual std::unique_ptr<WritableFile> CreateNamedStream(const std::wstring& stream, uint32_t* error) = 0;
    // Flushes and closes; false when the platform reported an error on the way.
    virtual bool Close(uint32_t* error) = 0;
};

// A link on the way to a folder that Folder::MakeAndOpen would not follow, and its owner as the
// system names it ("mallory (uid 1001)").
struct RefusedFolderLink {
    std::wstring link;
    std::wstring owner;
};

// A folder held open while files and folders are made in it: they land in this folder even if
// its path is changed meanwhile, and no entry in it is ever reached through a link. Keep a
// folder's parents open while using it (on Windows an open folder cannot be renamed or replaced).
class Folder {
public:
    virtual ~Folder() = default;
    // The folder at `path`, following links on the way (the user named this path).
    static std::unique_ptr<Folder> Open(const std::wstring& path, uint32_t* error);
    // The folder at `path`, made with its missing parents. On POSIX each level is opened as it is
    // made, so no link can take its place in between, and an existing link on the way is followed
    // only on the terms of the kernel's protected_symlinks rule whatever the machine's setting: in
    // a sticky folder anyone may write to, only a link owned by the caller or by the folder's
    // owner. A link refused so is named in *refused, with kErrorAccessDenied, and nothing below it
    // is made. On Windows: made, then opened as Open does.
    static std::unique_ptr<Folder> MakeAndOpen(const std::wstring& path, uint32_t* error, RefusedFolderLink* refused);
    // The subfolder `name` (one component), made when missing. An entry of that name that is a
    // link (any reparse point on Windows, a junction included) is refused with
    // kErrorStoppedOnSymlink, one that is not a folder with kErrorDirectory.
    virtual std::unique_ptr<Folder> OpenChild(const std::wstring& name, uint32_t* error) = 0;
    // A new file `name` in this folder, created exclusively: when any entry of that name exists,
    // a dangling link included, it fails with kErrorFileExists and touches nothing.
    virtual std::unique_ptr<WritableFile> CreateNewFile(const std::wstring& name, uint32_t* error) = 0;
    // The folder's path in the engine's syntax.
    const std::wstring& GetPath() const { return path_; }

protected:
    explicit Folder(std::wstring path) : path_(std::move(path)) {}

private:
    std::wstring path_;
};

// Opens an existing file (never creates it), sharing reads and writes, appends the bytes at
// its end and closes it again.
bool AppendToExistingFile(const std::wstring& path, std::string_view bytes);

// Text for the log file: the system ANSI code page on Windows, UTF-8 elsewhere.
std::string WideToLogBytes(std::wstring_view text);

// Writes text to standard output as UTF-8 (a Windows console gets it as UTF-16) and flushes it;
// false, with *error set, when the bytes could not all be written (a full disk, say).
bool WriteStandardOutput(std::wstring_view text, uint32_t* error = nullptr);
// The same for text that is UTF-8 already.
bool WriteStandardOutputUtf8(std::string_view utf8, uint32_t* error = nullptr);
// Flushes and closes standard output at the program's end; false when that failed.
bool CloseStandardOutput(uint32_t* error);

// The most one path component may hold, and a name's length as this system counts it against
// that: UTF-8 bytes on POSIX file systems, UTF-16 units on Windows.
constexpr size_t kMaxNativeNameLength = 255;
size_t NativeNameLength(std::wstring_view name);

// A path in Windows syntax as this system writes paths, for showing it to a user: backslashes
// become slashes on POSIX; unchanged on Windows.
std::wstring NativePathText(const std::wstring& path);

// GetDriveTypeW of a root such as C:\ (2 removable, 3 fixed). Without drive letters: 1, no root.
uint32_t QueryDriveType(const std::wstring& root);

}  // namespace Vorlaq
