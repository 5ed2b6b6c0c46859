#include <windows.h>
#include <winioctl.h>
#include <winternl.h>

#include <cstdio>

#include "base/Utf16.h"
#include "base/os/Files.h"
#include "base/os/Storage.h"
#include "base/os/Time.h"

namespace Vorlaq {

namespace {

void SetError(uint32_t* error) {
    if (error) *error = GetLastError();
}

// NtCreateFile, found at run time: the one call that opens a stream relative to its file's
// handle (RootDirectory = the file, ObjectName = ":stream").
using NtCreateFileCall = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK, PLARGE_INTEGER,
                                          ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);

NtCreateFileCall FindNtCreateFile() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll ? reinterpret_cast<NtCreateFileCall>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")))
                 : nullptr;
}

constexpr ULONG kFileCreate = 2;                     // FILE_CREATE: fail when it exists
constexpr ULONG kFileNonDirectoryFile = 0x40;        // FILE_NON_DIRECTORY_FILE
constexpr ULONG kFileSynchronousIoNonAlert = 0x20;  // FILE_SYNCHRONOUS_IO_NONALERT
constexpr ULONG kFileOpenReparsePoint = 0x200000;    // FILE_OPEN_REPARSE_POINT

constexpr uint64_t kTimeSlackTicks = 2ull * 86400 * 10000000;  // what a coarse file system rounds a time by

uint64_t FromFiletime(const FILETIME& ft) { return (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime; }

FILETIME ToFiletime(uint64_t value) {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(value);
    ft.dwHighDateTime = static_cast<DWORD>(value >> 32);
    return ft;
}

class Win32WritableFile : public WritableFile {
public:
    explicit Win32WritableFile(HANDLE handle) : handle_(handle) {}
    ~Win32WritableFile() override {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }

    bool Write(const void* data, uint32_t length, uint32_t* written, uint32_t* error) override {
        DWORD done = 0;
        BOOL ok = WriteFile(handle_, data, length, &done, nullptr);
        *written = done;
        if (!ok) {
            SetError(error);
            return false;
        }
        if (done < length) {
            if (error) *error = kErrorDiskFull;
            return false;
        }
        return true;
    }

    bool WriteHole(uint64_t length, uint32_t* error) override {
        if (!sparseAsked_) {
            sparseAsked_ = true;
            DWORD returned = 0;
            sparse_ = DeviceIoControl(handle_, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr) != FALSE;
        }
        if (sparse_) {
            LARGE_INTEGER move;
            move.QuadPart = static_cast<LONGLONG>(length);
            if (length <= static_cast<uint64_t>(INT64_MAX) && SetFilePointerEx(handle_, move, nullptr, FILE_CURRENT) &&
                SetEndOfFile(handle_))
                return true;
            SetError(error);
            return false;
        }
        // A destination without sparse files (FAT, a share): the zeros are written.
        static const char zeros[0x10000] = {};
        while (length > 0) {
            const uint32_t piece = static_cast<uint32_t>(length < sizeof zeros ? length : sizeof zeros);
            uint32_t written = 0;
            if (!Write(zeros, piece, &written, error)) return false;
            length -= piece;
        }
        return true;
    }

    // A destination that clamps a time outside its range without a word (a Linux folder under
    // Wine stops in 2446) gets the times read back: ones that did not hold are undone and refused.
    // Within two days counts as held: FAT keeps modification times to 2 seconds, access times to
    // the day.
    bool SetTimes(uint64_t created, uint64_t modified, uint64_t accessed, uint32_t* error) override {
        const FILETIME c = ToFiletime(created), m = ToFiletime(modified), a = ToFiletime(accessed);
        FILETIME before[3], after[3];
        if (!GetFileTime(handle_, &before[0], &before[1], &before[2]) ||
            !SetFileTime(handle_, created ? &c : nullptr, accessed ? &a : nullptr, modified ? &m : nullptr) ||
            !GetFileTime(handle_, &after[0], &after[1], &after[2])) {
            SetError(error);
            return false;
        }
        auto held = [](uint64_t wanted, const FILETIME& got) {
            const uint64_t value = FromFiletime(got);
            return wanted == 0 || (wanted > value ? wanted - value : value - wanted) < kTimeSlackTicks;
        };
        // The creation time is set where the destination keeps one; one that does not (a Linux
        // folder under Wine) answers with another time, which says nothing about a clamp.
        if (held(accessed, after[1]) && held(modified, after[2])) return true;
        SetFileTime(handle_, &before[0], &before[1], &before[2]);
        if (error) *error = kErrorInvalidParameter;
        return false;
    }

    std::unique_ptr<WritableFile> CreateNamedStream(const std::wstring& stream, uint32_t* error) override {
        DWORD flags = 0;
        static const NtCreateFileCall create = FindNtCreateFile();
        if (!create || !GetVolumeInformationByHandleW(handle_, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) ||
            !(flags & FILE_NAMED_STREAMS) || stream.empty() || stream.size() > 255) {
            if (error) *error = kErrorNotSupported;
            return nullptr;
        }
        std::wstring name = L":" + stream;
        UNICODE_STRING objectName;
        objectName.Buffer = name.data();
        objectName.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
        objectName.MaximumLength = objectName.Length;
        OBJECT_ATTRIBUTES attributes;
        InitializeObjectAttributes(&attributes, &objectName, OBJ_CASE_INSENSITIVE, handle_, nullptr);
        IO_STATUS_BLOCK status;
        HANDLE handle = INVALID_HANDLE_VALUE;
        const NTSTATUS result = create(&handle, GENERIC_WRITE | SYNCHRONIZE, &attributes, &status, nullptr,
                                       FILE_ATTRIBUTE_NORMAL, 0, kFileCreate,
                                       kFileNonDirectoryFile | kFileSynchronousIoNonAlert | kFileOpenReparsePoint,
                                       nullptr, 0);
        if (result < 0) {
            if (error) *error = kErrorNotSupported;
            return nullptr;
        }
        return std::make_unique<Win32WritableFile>(handle);
    }

    bool Close(uint32_t* error) override {
        if (handle_ == INVALID_HANDLE_VALUE) return true;
        BOOL ok = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        if (!ok) SetError(error);
        return ok != FALSE;
    }

private:
    HANDLE handle_;
    bool sparseAsked_ = false;
    bool sparse_ = false;
};

// A folder held by a handle that shares no deletion: while it is open the folder can be neither
// renamed nor replaced, so a path below it names what was checked (callers keep the parents of
// a folder they use open as well).
class Win32Folder : public Folder {
public:
    Win32Folder(HANDLE handle, std::wstring path)
        : Folder(std::move(path)), handle_(handle), final_(FinalPath(handle)) {}

    // The path the system resolved the handle to; empty when it cannot say.
    static std::wstring FinalPath(HANDLE handle) {
        std::wstring path(MAX_PATH, L'\0');
        for (int attempt = 0; attempt < 2; ++attempt) {
            DWORD n = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
            if (n == 0) return std::wstring();
            if (n < path.size()) {
                path.resize(n);
                return path;
            }
            path.resize(n + 1);
        }
        return std::wstring();
    }
    ~Win32Folder() override { CloseHandle(handle_); }

    // Opens the folder at `path` itself, not what a reparse point there leads to.
    static HANDLE OpenHandle(const std::wstring& path, bool followLinks) {
        DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
        return CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, flags, nullptr);
    }

    std::unique_ptr<Folder> OpenChild(const std::wstring& name, uint32_t* error) override {
        const std::wstring path = Join(name);
        bool existed = false;
        if (!CreateDirectoryW(path.c_str(), nullptr)) {
            if (GetLastError() != ERROR_ALREADY_EXISTS) {
                SetError(error);
                return nullptr;
            }
            existed = true;
        }
        HANDLE handle = OpenHandle(path, false);
        if (handle == INVALID_HANDLE_VALUE) {
            SetError(error);
            // There, yet not to be found: a link that leads nowhere (Wine shows no reparse point).
            if (existed && error && (*error == kErrorFileNotFound || *error == kErrorPathNotFound))
                *error = kErrorStoppedOnSymlink;
            return nullptr;
        }
        BY_HANDLE_FILE_INFORMATION info;
        uint32_t refusal = 0;
        if (!GetFileInformationByHandle(handle, &info))
            refusal = GetLastError();
        else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            refusal = kErrorStoppedOnSymlink;
        else if (!(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            refusal = kErrorDirectory;
        else if (!IsChildPath(FinalPath(handle), name))
            refusal = kErrorStoppedOnSymlink;  // a link the system resolved without calling it one (Wine)
        if (refusal) {
            CloseHandle(handle);
            if (error) *error = refusal;
            return nullptr;
        }
        return std::make_unique<Win32Folder>(handle, path);
    }

    std::unique_ptr<WritableFile> CreateNewFile(const std::wstring& name, uint32_t* error) override {
        HANDLE handle = CreateFileW(Join(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            SetError(error);
            if (error && *error == ERROR_ALREADY_EXISTS) *error = kErrorFileExists;
            return nullptr;
        }
        return std::make_unique<Win32WritableFile>(handle);
    }

private:
    // True when `path` is this folder's resolved path with `name` below it, letter case aside.
    bool IsChildPath(const std::wstring& path, const std::wstring& name) const {
        if (final_.empty() || path.empty()) return true;  // the system cannot say: the attributes decide
        const std::wstring expected = Joined(final_, name);
        return CompareStringOrdinal(path.c_str(), static_cast<int>(path.size()), expected.c_str(),
                                    static_cast<int>(expected.size()), TRUE) == CSTR_EQUAL;
    }

    static std::wstring Joined(const std::wstring& base, const std::wstring& name) {
        return !base.empty() && (base.back() == L'\\' || base.back() == L'/') ? base + name : base + L"\\" + name;
    }

    std::wstring Join(const std::wstring& name) const { return Joined(GetPath(), name); }

    HANDLE handle_;
    std::wstring final_;
};

}  // namespace

// Windows has no folder that anyone may fill with links for another user to follow.
std::unique_ptr<Folder> Folder::MakeAndOpen(const std::wstring& path, uint32_t* error, RefusedFolderLink*) {
    return CreateDirectoryTree(path, error) ? Open(path, error) : nullptr;
}

std::unique_ptr<Folder> Folder::Open(const std::wstring& path, uint32_t* error) {
    HANDLE handle = Win32Folder::OpenHandle(path, true);
    if (handle == INVALID_HANDLE_VALUE) {
        SetError(error);
        return nullptr;
    }
    return std::make_unique<Win32Folder>(handle, path);
}

std::wstring SystemErrorReason(uint32_t) { return std::wstring(); }

bool QueryFileAttributes(const std::wstring& path, uint32_t* error) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    SetError(error);
    return false;
}

bool IsDirectoryPath(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool QueryFileSize(const std::wstring& path, uint64_t* size, uint32_t* error) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        SetError(error);
        return false;
    }
    *size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

bool RemoveFilePath(const std::wstring& path, uint32_t* error) {
    if (DeleteFileW(path.c_str())) return true;
    SetError(error);
    return false;
}

bool CreateDirectoryTree(const std::wstring& path, uint32_t* error) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != L'\\' && path[i] != L'/') continue;
        std::wstring part = path.substr(0, i);
        if (part.size() == 2 && part[1] == L':') continue;  // a bare drive
        if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS &&
            !IsDirectoryPath(part)) {
            SetError(error);
            return false;
        }
    }
    return IsDirectoryPath(path);
}

std::unique_ptr<WritableFile> WritableFile::CreateAlways(const std::wstring& path, uint32_t* error) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        SetError(error);
        return nullptr;
    }
    return std::make_unique<Win32WritableFile>(handle);
}

bool AppendToExistingFile(const std::wstring& path, std::string_view bytes) {
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    SetFilePointer(handle, 0, nullptr, FILE_END);
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
    return true;
}

std::string WideToLogBytes(std::wstring_view text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

namespace {

// A console shows UTF-16 as it is; UTF-8 bytes would come out in the console's code page.
HANDLE StandardOutputConsole() {
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    return console != INVALID_HANDLE_VALUE && console && GetConsoleMode(console, &mode) ? console : nullptr;
}

bool WriteConsoleText(HANDLE console, std::wstring_view text, uint32_t* error) {
    std::fflush(stdout);
    DWORD written = 0;
    if (WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size())
        return true;
    if (error) *error = kErrorWriteFault;
    return false;
}

}  // namespace

bool WriteStandardOutput(std::wstring_view text, uint32_t* error) {
    if (HANDLE console = StandardOutputConsole()) return WriteConsoleText(console, text, error);
    return WriteStandardOutputUtf8(WideToUtf8(text), error);
}

bool WriteStandardOutputUtf8(std::string_view bytes, uint32_t* error) {
    if (HANDLE console = StandardOutputConsole()) return WriteConsoleText(console, Utf8ToWide(bytes), error);
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
    ok = std::fflush(stdout) == 0 && ok;
    if (!ok && error) *error = kErrorWriteFault;
    return ok;
}

bool CloseStandardOutput(uint32_t* error) {
    bool ok = std::fflush(stdout) == 0;
    ok = std::fclose(stdout) == 0 && ok;
    if (!ok && error) *error = kErrorWriteFault;
    return ok;
}

size_t NativeNameLength(std::wstring_view name) { return name.size(); }

std::wstring NativePathText(const std::wstring& path) { return path; }

uint32_t QueryDriveType(const std::wstring& root) { return GetDriveTypeW(root.c_str()); }

bool FileTimeToLocal(uint64_t utc, uint64_t* local) {
    FILETIME in{static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
    FILETIME out;
    if (!FileTimeToLocalFileTime(&in, &out)) return false;
    *local = (static_cast<uint64_t>(out.dwHighDateTime) << 32) | out.dwLowDateTime;
    return true;
}

// Windows reads drives by letter, compared by the caller; an image file is not mounted here.
bool LiesOnSource(const std::wstring&, const std::wstring&) { return false; }

}  // namespace Vorlaq
