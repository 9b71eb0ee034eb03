// SPDX-License-Identifier: MIT
// POSIX backend of the front library's platform layer: dlopen of the complete
// file found along the library search path (which holds the front library's
// own folder through its RUNPATH $ORIGIN), dlsym, dlclose, and standard error
// for the beep and the message box.
#include "platform/front_platform.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/auxv.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/posix/attach_note.h"
#include "platform/posix/library_search.h"

namespace qel::platform {

namespace {

// "5.10.0-x" -> 5 and 10; anything unreadable stays 0.
void kernelRelease(std::uint32_t* major, std::uint32_t* minor) {
    struct utsname names;
    if (uname(&names) != 0) return;
    char* end = nullptr;
    *major = static_cast<std::uint32_t>(std::strtoul(names.release, &end, 10));
    if (end != nullptr && *end == '.')
        *minor = static_cast<std::uint32_t>(std::strtoul(end + 1, nullptr, 10));
}

struct NoteSearch {
    ElfW(Addr) base;
    const char* name;
    bool found;                // the library was among the loaded objects
    bool hasNote;
    std::uint32_t outcome;
};

std::uintptr_t alignUp(std::uintptr_t value, std::uintptr_t alignment) {
    return (value + alignment - 1) & ~(alignment - 1);
}

// Looks for the attach note in one PT_NOTE segment.
bool readAttachNote(std::uintptr_t start, std::uintptr_t end, std::uintptr_t alignment,
                    std::uint32_t* outcome) {
    constexpr char owner[] = QEL_ATTACH_NOTE_OWNER;
    std::uintptr_t at = start;
    while (at + sizeof(ElfW(Nhdr)) <= end) {
        const auto* header = reinterpret_cast<const ElfW(Nhdr)*>(at);
        const std::uintptr_t name = at + sizeof(ElfW(Nhdr));
        const std::uintptr_t descriptor = alignUp(name + header->n_namesz, alignment);
        const std::uintptr_t next = alignUp(descriptor + header->n_descsz, alignment);
        if (next > end || next <= at) return false;
        if (header->n_type == QEL_ATTACH_NOTE_TYPE && header->n_namesz == sizeof owner &&
            header->n_descsz == 4 && std::memcmp(reinterpret_cast<const void*>(name), owner, sizeof owner) == 0) {
            std::int32_t distance;
            std::memcpy(&distance, reinterpret_cast<const void*>(descriptor), sizeof distance);
            const auto word = static_cast<std::uintptr_t>(static_cast<std::intptr_t>(descriptor) + distance);
            *outcome = *reinterpret_cast<const volatile std::uint32_t*>(word);
            return true;
        }
        at = next;
    }
    return false;
}

int visitLoadedObject(struct dl_phdr_info* info, std::size_t, void* data) {
    auto* search = static_cast<NoteSearch*>(data);
    if (info->dlpi_addr != search->base || info->dlpi_name == nullptr ||
        std::strcmp(info->dlpi_name, search->name) != 0)
        return 0;
    search->found = true;
    for (int i = 0; i < info->dlpi_phnum && !search->hasNote; ++i) {
        const ElfW(Phdr)& segment = info->dlpi_phdr[i];
        if (segment.p_type != PT_NOTE) continue;
        const std::uintptr_t start = info->dlpi_addr + segment.p_vaddr;
        const std::uintptr_t alignment = segment.p_align == 8 ? 8 : 4;
        search->hasNote = readAttachNote(start, start + segment.p_memsz, alignment, &search->outcome);
    }
    return 1;
}

// Whether the library's own load handling accepted the attach. A library
// without the note has no such handling and so cannot have refused.
bool attachSucceeded(void* handle) {
    struct link_map* map = nullptr;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return false;
    NoteSearch search{map->l_addr, map->l_name, false, false, QEL_ATTACH_PENDING};
    dl_iterate_phdr(visitLoadedObject, &search);
    if (!search.found) return false;
    return !search.hasNote || search.outcome == QEL_ATTACH_DONE;
}

struct HeldSearch {
    const char* file;
    char path[4096];
    bool found;
};

int visitHeldObject(struct dl_phdr_info* info, std::size_t, void* data) {
    auto* search = static_cast<HeldSearch*>(data);
    const char* name = info->dlpi_name;
    if (name == nullptr || name[0] == '\0') return 0;
    const char* slash = std::strrchr(name, '/');
    if (std::strcmp(slash != nullptr ? slash + 1 : name, search->file) != 0) return 0;
    const int length = std::snprintf(search->path, sizeof search->path, "%s", name);
    search->found = length > 0 && static_cast<std::size_t>(length) < sizeof search->path;
    return search->found ? 1 : 0;
}

// A library the process already holds from a file called `file`, or null.
// The loaded objects are compared by name only: a dlopen of the bare name
// with RTLD_NOLOAD would open every file of that name along the search path
// to compare it, and opening a FIFO there never returns.
void* heldLibrary(const char* file) {
    HeldSearch search{file, {}, false};
    dl_iterate_phdr(visitHeldObject, &search);
    // Outside the walk, which holds the loader's lock; the loader matches
    // a full name against its objects' names before it opens anything.
    return search.found ? dlopen(search.path, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD) : nullptr;
}

// Why the last load failed; the front library loads from one thread only
// (its constructor, or zentavol-which).
char loadFailure[320];

void setLoadFailure(const char* text) { std::snprintf(loadFailure, sizeof loadFailure, "%s", text); }

void writeAll(const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t written = write(STDERR_FILENO, text, length);
        if (written <= 0) return;
        text += written;
        length -= static_cast<std::size_t>(written);
    }
}

}  // namespace

bool getVersionEx(OsVersionInfo* info) {
    if (info == nullptr) return false;
    const std::uint32_t size = info->size;
    if (size != kOsVersionInfoExSize && size != kOsVersionInfoSize) return false;
    // Only the bytes the caller declared are written.
    std::memset(reinterpret_cast<char*>(info) + sizeof info->size, 0, size - sizeof info->size);
    kernelRelease(&info->majorVersion, &info->minorVersion);
    info->platformId = kPlatformPosix;
    return true;
}

ModuleHandle loadLibrary(const char* name) {
    char file[256];
    // The file under its SONAME, as Debian's loader cache and packages know it:
    // the unversioned name is a development link, and a later major version
    // with another interface is never picked up by this front library.
    const int length = std::snprintf(file, sizeof file, "lib%s.so.%d", name, ZV_VARIANT_SOVERSION);
    if (length < 0 || static_cast<std::size_t>(length) >= sizeof file) {
        setLoadFailure("name too long");
        return nullptr;
    }
    // A library the process already holds under that name is taken as it is.
    // Otherwise the file the loader's search would reach is found and checked
    // first: a file cut short (an upgrade interrupted) would fault inside the
    // loader, so it and a library of another machine are passed over, and the
    // complete file found after them is loaded by its path. The path also
    // keeps a runtime that wraps dlopen (a sanitizer's) from hiding our
    // RUNPATH, which the search follows for its caller.
    void* handle = heldLibrary(file);
    char path[4096];
    if (handle == nullptr) {
        if (!findLibraryFile(file, path, sizeof path)) {
            std::snprintf(loadFailure, sizeof loadFailure, "no complete %s along the search path", file);
            return nullptr;
        }
        handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* error = dlerror();
            setLoadFailure(error != nullptr ? error : "the loader refused it");
            return nullptr;
        }
    }
    if (!attachSucceeded(handle)) {
        dlclose(handle);
        setLoadFailure("its attach failed (no thread-local slot or no memory for the thread's state)");
        return nullptr;
    }
    loadFailure[0] = '\0';
    return handle;
}

void* getProcAddress(ModuleHandle module, const char* name) {
    return module == nullptr ? nullptr : dlsym(module, name);
}

bool freeLibrary(ModuleHandle module) { return module != nullptr && dlclose(module) == 0; }

void messageBeep(unsigned) {
    // A terminal rings; a log gets no control character.
    if (isatty(STDERR_FILENO)) writeAll("\a", 1);
}

int messageBox(const char* text, const char* caption, unsigned) {
    char line[512];
    const std::size_t textLength = std::strlen(text);
    const bool endsLine = textLength > 0 && text[textLength - 1] == '\n';
    const int length = std::snprintf(line, sizeof line, "%s: %s%s", caption, text, endsLine ? "" : "\n");
    if (length > 0) writeAll(line, std::strlen(line));
    return 1;  // the OK button
}

int formatText(char* buffer, std::size_t size, const char* format, const char* argument) {
    if (size == 0) return 0;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    const int length = std::snprintf(buffer, size, format, argument);
#pragma GCC diagnostic pop
    if (length < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(length) < size ? length : static_cast<int>(size - 1);
}

bool getEnvironmentVariable(const char* name, char* buffer, std::size_t size) {
    if (size == 0) return false;
    buffer[0] = '\0';
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') return false;
    std::snprintf(buffer, size, "%s", value);
    return true;
}

bool isSecureProcess() {
    // The kernel's verdict, which the loader also follows when it ignores
    // LD_LIBRARY_PATH.
    return getauxval(AT_SECURE) != 0;
}

void writeErrorLine(const char* text) {
    writeAll(text, std::strlen(text));
    writeAll("\n", 1);
}

void describeLoadFailure(char* buffer, std::size_t size) {
    if (size > 0) std::snprintf(buffer, size, "%s", loadFailure);
}

bool moduleFileName(ModuleHandle module, char* buffer, std::size_t size) {
    struct link_map* map = nullptr;
    if (module == nullptr || size == 0 || dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
        map->l_name == nullptr)
        return false;
    const int length = std::snprintf(buffer, size, "%s", map->l_name);
    return length > 0 && static_cast<std::size_t>(length) < size;
}

}  // namespace qel::platform
