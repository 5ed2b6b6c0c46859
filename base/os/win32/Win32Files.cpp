#include <windows.h>

#include <cstdio>

#include "base/Utf16.h"
#include "base/os/Files.h"
#include "base/os/Time.h"

namespace Vorlaq {

namespace {

void SetError(uint32_t* error) {
    if (error) *error = GetLastError();
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

    bool Close(uint32_t* error) override {
        if (handle_ == INVALID_HANDLE_VALUE) return true;
        BOOL ok = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        if (!ok) SetError(error);
        return ok != FALSE;
    }

private:
    HANDLE handle_;
};

}  // namespace

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

void WriteStandardOutput(std::wstring_view text) {
    // A console shows UTF-16 as it is; UTF-8 bytes would come out in the console's code page.
    HANDLE console = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (console != INVALID_HANDLE_VALUE && console && GetConsoleMode(console, &mode)) {
        std::fflush(stdout);
        DWORD written = 0;
        WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::string bytes = WideToUtf8(text);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

std::wstring NativePathText(const std::wstring& path) { return path; }

uint32_t QueryDriveType(const std::wstring& root) { return GetDriveTypeW(root.c_str()); }

bool FileTimeToLocal(uint64_t utc, uint64_t* local) {
    FILETIME in{static_cast<DWORD>(utc), static_cast<DWORD>(utc >> 32)};
    FILETIME out;
    if (!FileTimeToLocalFileTime(&in, &out)) return false;
    *local = (static_cast<uint64_t>(out.dwHighDateTime) << 32) | out.dwLowDateTime;
    return true;
}

}  // namespace Vorlaq
