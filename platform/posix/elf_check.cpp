// SPDX-License-Identifier: MIT
// The check of a variant's file before the dynamic loader maps it: a file cut
// short maps without complaint and faults (SIGBUS) when the loader touches a
// page past its end, so every range the loader maps or reads must be inside
// the file.
#include "platform/posix/elf_check.h"

#include <elf.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace qel::platform {

namespace {

#if defined(__x86_64__)
constexpr unsigned char kOwnClass = ELFCLASS64;
constexpr ElfW(Half) kOwnMachine = EM_X86_64;
#elif defined(__i386__)
constexpr unsigned char kOwnClass = ELFCLASS32;
constexpr ElfW(Half) kOwnMachine = EM_386;
#else
#error "the front library knows the ELF machine of x86 only"
#endif

// The program headers are read this many at a time.
constexpr int kHeadersPerRead = 16;

// [offset, offset + count * entrySize) inside a file of `fileSize` bytes,
// without overflow whatever the values.
bool tableInside(std::uint64_t offset, std::uint64_t count, std::uint64_t entrySize, std::uint64_t fileSize) {
    return offset <= fileSize && count <= (fileSize - offset) / entrySize;
}

bool rangeInside(std::uint64_t offset, std::uint64_t size, std::uint64_t fileSize) {
    return offset <= fileSize && size <= fileSize - offset;
}

bool ownIdentification(const ElfW(Ehdr)& header) {
    const unsigned char* id = header.e_ident;
    return std::memcmp(id, ELFMAG, SELFMAG) == 0 && id[EI_CLASS] == kOwnClass && id[EI_DATA] == ELFDATA2LSB &&
           id[EI_VERSION] == EV_CURRENT && (id[EI_OSABI] == ELFOSABI_SYSV || id[EI_OSABI] == ELFOSABI_GNU) &&
           header.e_type == ET_DYN && header.e_machine == kOwnMachine && header.e_version == EV_CURRENT &&
           header.e_ehsize == sizeof(ElfW(Ehdr));
}

// Every segment's bytes in the file; at least one loadable segment.
bool segmentsInside(int fd, const ElfW(Ehdr)& header, std::uint64_t fileSize) {
    if (header.e_phentsize != sizeof(ElfW(Phdr)) || header.e_phnum == 0 || header.e_phnum == PN_XNUM) return false;
    if (!tableInside(header.e_phoff, header.e_phnum, sizeof(ElfW(Phdr)), fileSize)) return false;
    ElfW(Phdr) segments[kHeadersPerRead];
    int loadable = 0;
    for (int first = 0; first < header.e_phnum; first += kHeadersPerRead) {
        const int count = header.e_phnum - first < kHeadersPerRead ? header.e_phnum - first : kHeadersPerRead;
        if (!readAt(fd, segments, count * sizeof(ElfW(Phdr)), header.e_phoff + first * sizeof(ElfW(Phdr))))
            return false;
        for (int i = 0; i < count; ++i) {
            if (!rangeInside(segments[i].p_offset, segments[i].p_filesz, fileSize)) return false;
            if (segments[i].p_type == PT_LOAD) ++loadable;
        }
    }
    return loadable > 0;
}

// The section headers come last in a linked file, so a file that still holds
// them was written to its end. The loader never reads them; a file without
// them (offset 0) is complete as far as the segments go.
bool sectionTableInside(int fd, const ElfW(Ehdr)& header, std::uint64_t fileSize) {
    if (header.e_shoff == 0) return true;
    if (header.e_shentsize != sizeof(ElfW(Shdr))) return false;
    std::uint64_t count = header.e_shnum;
    if (count == 0) {
        // More sections than the header's field holds: section 0 has the count.
        ElfW(Shdr) first;
        if (!tableInside(header.e_shoff, 1, sizeof first, fileSize) ||
            !readAt(fd, &first, sizeof first, header.e_shoff))
            return false;
        count = first.sh_size;
    }
    return tableInside(header.e_shoff, count, sizeof(ElfW(Shdr)), fileSize);
}

}  // namespace

bool readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset) {
    auto* at = static_cast<unsigned char*>(buffer);
    while (size > 0) {
        const ssize_t got = pread(fd, at, size, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        at += got;
        offset += static_cast<std::uint64_t>(got);
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

bool isCompleteElfLibrary(int fd) {
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0) return false;
    const auto fileSize = static_cast<std::uint64_t>(status.st_size);
    ElfW(Ehdr) header;
    if (fileSize < sizeof header || !readAt(fd, &header, sizeof header, 0)) return false;
    return ownIdentification(header) && segmentsInside(fd, header, fileSize) &&
           sectionTableInside(fd, header, fileSize);
}

}  // namespace qel::platform
