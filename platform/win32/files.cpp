// Files (settings, logs) behind integer handles, plus delete and rename-over.
// The hard part is the write mode: it must create or empty the file while
// letting other programs read it, which is what a log tailed elsewhere needs.

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
    const bool write = mode == FILE_WRITE;
    HANDLE h = CreateFileA(name.c_str(), write ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ, nullptr,
                           write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
