// Files (settings, logs, history) behind integer handles, plus delete,
// rename-over and folders.
// The hard part is the write modes: they must let other programs read the
// file while we write it, which is what a log tailed elsewhere needs, and an
// append must land at the end whatever else grew the file meanwhile.

#include "platform/win32/internal.h"

#include "platform/handle_table.h"

namespace win32 {
namespace {

HandleTable<HANDLE> g_files{[](const HANDLE& h) { CloseHandle(h); }};

HANDLE file_of(int file) {
    HANDLE* h = g_files.get(file);
    return h ? *h : INVALID_HANDLE_VALUE;
}

}  // namespace

void release_files() { g_files.clear(); }

}  // namespace win32

using namespace win32;

int file_open(const std::string& name, int mode) {
    DWORD access = GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (mode == FILE_WRITE) {
        access = GENERIC_WRITE;
        disposition = CREATE_ALWAYS;
    } else if (mode == FILE_APPEND) {
        // Append rights without write rights: the system puts every write at the end.
        access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
        disposition = OPEN_ALWAYS;
    }
    // A reader shares with a writer: the history's day file is read while it is being appended to.
    const DWORD share = mode == FILE_READ ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    HANDLE h = CreateFileA(name.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? 0 : g_files.add(h);
}

int file_read(int file, char* buffer, int size) {
    HANDLE h = file_of(file);
    DWORD got = 0;
    if (h == INVALID_HANDLE_VALUE || size < 0 ||
        !ReadFile(h, buffer, static_cast<DWORD>(size), &got, nullptr))
        return -1;
    return static_cast<int>(got);
}

int file_write(int file, const char* data, int size) {
    HANDLE h = file_of(file);
    DWORD put = 0;
    if (h == INVALID_HANDLE_VALUE || size < 0 || !WriteFile(h, data, static_cast<DWORD>(size), &put, nullptr))
        return -1;
    return static_cast<int>(put);
}

void file_close(int file) { g_files.remove(file); }

long long file_size(int file) {
    LARGE_INTEGER size;
    HANDLE h = file_of(file);
    return h != INVALID_HANDLE_VALUE && GetFileSizeEx(h, &size) ? size.QuadPart : -1;
}

int file_exists(const std::string& name) {
    return GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

int file_delete(const std::string& name) { return DeleteFileA(name.c_str()) ? 1 : 0; }

int file_replace(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) ? 1 : 0;
}

int make_folder(const std::string& name) {
    if (CreateDirectoryA(name.c_str(), nullptr)) return 1;
    const DWORD attributes = GetFileAttributesA(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
}

std::vector<std::string> list_folder(const std::string& name) {
    std::vector<std::string> names;
    std::string pattern = name;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
            names.emplace_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}
