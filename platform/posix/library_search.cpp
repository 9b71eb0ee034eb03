// SPDX-License-Identifier: MIT
// The front library's own walk of the dynamic loader's search, so that a
// variant's file is checked before the loader maps it: the folders come from
// the loader itself (dlinfo), the cache is read as the loader reads it.
#include "platform/posix/library_search.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/elf_check.h"

namespace qel::platform {

namespace {

constexpr char kLoaderCache[] = "/etc/ld.so.cache";

// The cache as ldconfig writes it since the old form was dropped: a header,
// fixed-size entries, then the strings they point at by offset from the
// start of the file.
constexpr char kCacheMagic[] = "glibc-ld.so.cache1.1";
struct CacheHeader {
    char magic[sizeof kCacheMagic - 1];
    std::uint32_t entryCount;
    std::uint32_t stringsLength;
    std::uint8_t flags;  // low two bits: byte order, 2 for little-endian, 0 unstated
    std::uint8_t padding[3];
    std::uint32_t extensionOffset;
    std::uint32_t unused[3];
};
struct CacheEntry {
    std::int32_t flags;
    std::uint32_t key;
    std::uint32_t value;
    std::uint32_t osVersion;
    std::uint64_t hwcap;  // non-zero for a copy in a processor-level subfolder
};
static_assert(sizeof(CacheHeader) == 48 && sizeof(CacheEntry) == 24);

// The entry flags of this process's libraries: an ELF library for the C
// library of this system, and on x86-64 the 64-bit kind.
#if defined(__x86_64__)
constexpr std::int32_t kOwnCacheFlags = 0x0303;
#else
constexpr std::int32_t kOwnCacheFlags = 0x0003;
#endif

// A cache larger than this is not read.
constexpr std::uint64_t kCacheLimit = 64u << 20;

// The zero-terminated string at `offset` of the buffer, or null.
const char* stringAt(const char* buffer, std::uint64_t length, std::uint64_t offset) {
    if (offset >= length) return nullptr;
    return std::memchr(buffer + offset, '\0', length - offset) != nullptr ? buffer + offset : nullptr;
}

bool copyPath(const char* from, char* path, std::size_t size) {
    const std::size_t length = std::strlen(from);
    if (length >= size) return false;
    std::memcpy(path, from, length + 1);
    return true;
}

bool lookUpCache(const char* cache, std::uint64_t length, const char* file, char* path, std::size_t size) {
    CacheHeader header;
    if (length < sizeof header) return false;
    std::memcpy(&header, cache, sizeof header);
    if (std::memcmp(header.magic, kCacheMagic, sizeof header.magic) != 0) return false;
    if ((header.flags & 3) != 0 && (header.flags & 3) != 2) return false;
    if (header.entryCount > (length - sizeof header) / sizeof(CacheEntry)) return false;
    for (std::uint32_t i = 0; i < header.entryCount; ++i) {
        CacheEntry entry;
        std::memcpy(&entry, cache + sizeof header + i * sizeof entry, sizeof entry);
        if (entry.flags != kOwnCacheFlags || entry.hwcap != 0) continue;
        const char* key = stringAt(cache, length, entry.key);
        if (key == nullptr || std::strcmp(key, file) != 0) continue;
        const char* value = stringAt(cache, length, entry.value);
        return value != nullptr && copyPath(value, path, size);
    }
    return false;
}

// The loader's list of folders for libraries that the object `map` loads by
// name, or null. Freed by the caller.
Dl_serinfo* searchListOf(struct link_map* map) {
    // The loader's handles are its link maps.
    Dl_serinfo sizes;
    if (dlinfo(map, RTLD_DI_SERINFOSIZE, &sizes) != 0) return nullptr;
    auto* list = static_cast<Dl_serinfo*>(std::malloc(sizes.dls_size));
    if (list == nullptr) return nullptr;
    if (dlinfo(map, RTLD_DI_SERINFOSIZE, list) != 0 || dlinfo(map, RTLD_DI_SERINFO, list) != 0) {
        std::free(list);
        return nullptr;
    }
    return list;
}

bool hasSearchPath(const struct link_map* map) {
    if (map->l_ld == nullptr) return true;
    for (const ElfW(Dyn)* entry = map->l_ld; entry->d_tag != DT_NULL; ++entry)
        if (entry->d_tag == DT_RUNPATH || entry->d_tag == DT_RPATH) return true;
    return false;
}

// Where the loader's default folders begin in `own`, the front library's
// list. dlinfo does not mark them, and the cache is read just before them.
// An object with neither RUNPATH nor RPATH searches LD_LIBRARY_PATH (after
// the program's old-style RPATH, if any) and then those folders, so they are
// the tail its list shares with ours. Without such an object, the cache
// comes last.
unsigned defaultFoldersStart(const Dl_serinfo* own, struct link_map* ownMap) {
    struct link_map* first = ownMap;
    while (first->l_prev != nullptr) first = first->l_prev;
    struct link_map* plain = first;
    while (plain != nullptr && (plain == ownMap || hasSearchPath(plain))) plain = plain->l_next;
    if (plain == nullptr) return own->dls_cnt;
    Dl_serinfo* other = searchListOf(plain);
    if (other == nullptr) return own->dls_cnt;
    unsigned shared = 0;
    while (shared < own->dls_cnt && shared < other->dls_cnt &&
           std::strcmp(own->dls_serpath[own->dls_cnt - 1 - shared].dls_name,
                       other->dls_serpath[other->dls_cnt - 1 - shared].dls_name) == 0)
        ++shared;
    std::free(other);
    return own->dls_cnt - shared;
}

// Opens a file for reading without waiting: opening a FIFO for reading
// blocks until a writer comes, and a terminal must not become the process's
// controlling one. The type is then told from the open descriptor (fstat),
// so that no swap between a stat and the open goes unseen.
int openWithoutWaiting(const char* file) { return open(file, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); }

bool isCompleteLibraryAt(const char* candidate) {
    const int fd = openWithoutWaiting(candidate);
    if (fd < 0) return false;
    const bool complete = isCompleteElfLibrary(fd);
    close(fd);
    return complete;
}

bool tryFolder(const char* folder, const char* file, char* path, std::size_t size) {
    // An empty entry of a search path is the current folder to the loader;
    // the "./" keeps dlopen from searching again for a bare name.
    const int length = std::snprintf(path, size, "%s/%s", folder[0] != '\0' ? folder : ".", file);
    return length > 0 && static_cast<std::size_t>(length) < size && isCompleteLibraryAt(path);
}

bool tryCache(const char* file, char* path, std::size_t size) {
    return cachedLibraryPath(kLoaderCache, file, path, size) && isCompleteLibraryAt(path);
}

// Any object of this library, to find the library's own link map.
const char kThisLibrary = 0;

}  // namespace

bool cachedLibraryPath(const char* cacheFile, const char* file, char* path, std::size_t size) {
    const int fd = openWithoutWaiting(cacheFile);
    if (fd < 0) return false;
    struct stat status;
    bool found = false;
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 && static_cast<std::uint64_t>(status.st_size) <= kCacheLimit) {
        const auto length = static_cast<std::uint64_t>(status.st_size);
        if (char* cache = static_cast<char*>(std::malloc(length))) {
            found = readAt(fd, cache, length, 0) && lookUpCache(cache, length, file, path, size);
            std::free(cache);
        }
    }
    close(fd);
    return found;
}

bool findLibraryFile(const char* file, char* path, std::size_t size) {
    Dl_info info;
    struct link_map* ownMap = nullptr;
    if (dladdr1(&kThisLibrary, &info, reinterpret_cast<void**>(&ownMap), RTLD_DL_LINKMAP) == 0 || ownMap == nullptr)
        return false;
    Dl_serinfo* list = searchListOf(ownMap);
    if (list == nullptr) return false;
    const unsigned defaults = defaultFoldersStart(list, ownMap);
    bool found = false;
    for (unsigned i = 0; i <= list->dls_cnt && !found; ++i) {
        if (i == defaults) found = tryCache(file, path, size);
        if (!found && i < list->dls_cnt) found = tryFolder(list->dls_serpath[i].dls_name, file, path, size);
    }
    std::free(list);
    return found;
}

}  // namespace qel::platform
