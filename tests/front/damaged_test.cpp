// SPDX-License-Identifier: MIT
// Damaged variant files: a file cut short (an upgrade interrupted), an empty
// one, or one built for another machine is passed over like a missing file,
// by the check itself and in runs of an application, which end on the next
// variant or with the message and status 127, never by a signal.
#include <elf.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <link.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/elf_check.h"
#include "platform/posix/library_search.h"
#include "tests/front/front_folder.h"

namespace {

using namespace zv::test;

struct Damage {
    std::string what;
    std::string bytes;
};

std::string standIn(const std::string& name) { return std::string(ZV_FRONT_TEST_VARIANT_DIR) + "/" + fileOf(name); }

template <typename Field>
std::string patched(std::string bytes, std::size_t offset, Field value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
    return bytes;
}

// The ways a sound library can be damaged, each placed by the library's own
// headers: cut inside every part the loader reads, and the identification
// or the tables changed.
std::vector<Damage> damagesOf(const std::string& bytes) {
    ElfW(Ehdr) header;
    std::memcpy(&header, bytes.data(), sizeof header);
    std::vector<Damage> damages = {
        {"empty", ""},
        {"cut inside the identification", bytes.substr(0, 10)},
        {"cut inside the ELF header", bytes.substr(0, sizeof header - 1)},
        {"cut inside the program headers", bytes.substr(0, header.e_phoff + header.e_phnum * sizeof(ElfW(Phdr)) / 2)},
        {"cut inside the section headers", bytes.substr(0, header.e_shoff + sizeof(ElfW(Shdr)) + 3)},
        {"not an ELF file", "#!/bin/sh\nexit 0\n"},
        {"32-bit class", patched(bytes, EI_CLASS, static_cast<unsigned char>(ELFCLASS32))},
        {"big-endian", patched(bytes, EI_DATA, static_cast<unsigned char>(ELFDATA2MSB))},
        {"i386 machine", patched(bytes, offsetof(ElfW(Ehdr), e_machine), ElfW(Half){EM_386})},
        {"AArch64 machine", patched(bytes, offsetof(ElfW(Ehdr), e_machine), ElfW(Half){EM_AARCH64})},
        {"program headers past the end", patched(bytes, offsetof(ElfW(Ehdr), e_phoff), ElfW(Off){~0ull - 8})},
        {"too many program headers", patched(bytes, offsetof(ElfW(Ehdr), e_phnum), ElfW(Half){0xFFFE})},
    };
    int loadable = 0;
    for (int i = 0; i < header.e_phnum; ++i) {
        ElfW(Phdr) segment;
        const std::size_t at = header.e_phoff + i * sizeof segment;
        std::memcpy(&segment, bytes.data() + at, sizeof segment);
        if (segment.p_type != PT_LOAD || segment.p_filesz == 0) continue;
        const std::string n = std::to_string(++loadable);
        const std::size_t end = segment.p_offset + segment.p_filesz;
        damages.push_back({"cut inside loadable segment " + n, bytes.substr(0, segment.p_offset + segment.p_filesz / 2)});
        damages.push_back({"cut one byte short of loadable segment " + n, bytes.substr(0, end - 1)});
        damages.push_back({"loadable segment " + n + " longer than the file",
                           patched(bytes, at + offsetof(ElfW(Phdr), p_filesz), ElfW(Xword){bytes.size() - segment.p_offset + 1})});
        damages.push_back({"loadable segment " + n + " at an offset that wraps",
                           patched(bytes, at + offsetof(ElfW(Phdr), p_offset), ElfW(Off){~0ull - 0xFFF})});
    }
    EXPECT_GE(loadable, 1);
    return damages;
}

bool checkFile(const fs::path& file) {
    const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << file;
    const bool complete = qel::platform::isCompleteElfLibrary(fd);
    close(fd);
    return complete;
}

TEST(DamagedVariantFile, TheCheckPassesSoundLibrariesAndNoDamagedOne) {
    const Folder folder;
    for (const std::string& sound :
         {standIn("Zentavolg1"), std::string(ZV_LIBRARY_DIR) + "/" + fileOf("Zentavolg1"), std::string(ZV_FRONT_LIBRARY)}) {
        SCOPED_TRACE(sound);
        const std::string bytes = readAll(sound);
        ASSERT_GT(bytes.size(), sizeof(ElfW(Ehdr)));
        EXPECT_TRUE(checkFile(sound));
        for (const Damage& damage : damagesOf(bytes)) {
            const fs::path file = folder.path() / "damaged.so";
            std::ofstream(file, std::ios::binary | std::ios::trunc) << damage.bytes;
            EXPECT_FALSE(checkFile(file)) << damage.what;
        }
    }
    // Neither a folder nor a pipe is a library.
    EXPECT_FALSE(checkFile(folder.path()));
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_FALSE(qel::platform::isCompleteElfLibrary(pipeEnds[0]));
    close(pipeEnds[0]);
    close(pipeEnds[1]);
}

TEST(DamagedVariantFile, ADamagedFirstChoiceIsPassedOverForTheNext) {
    const Names row = machineRow();
    for (const Damage& damage : damagesOf(readAll(standIn(row.front())))) {
        SCOPED_TRACE(damage.what);
        Folder folder;
        for (const char* name : qel::front::kVariantNames) folder.put(standIn(name), name);
        folder.putBytes(damage.bytes, row.front());
        const RunResult run = folder.run();
        if (row.size() > 1) {
            EXPECT_EQ(run.exitCode, 0) << run.err;
            EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), "loaded " + fileOf(row[1]) + "\n");
            EXPECT_EQ(run.err, row[1] + " attached\n");  // the damaged one never attached
        } else {
            EXPECT_EQ(run.exitCode, 127);
            EXPECT_EQ(run.err, kNoVariantMessage);
        }
    }
}

TEST(DamagedVariantFile, EveryChoiceDamagedEndsWithTheMessageAndStatus127) {
    const Names row = machineRow();
    const std::vector<Damage> damages = damagesOf(readAll(standIn("Zentavolg1")));
    // Taking turns through the damages, shifted on each run.
    for (std::size_t shift = 0; shift < damages.size(); shift += row.size()) {
        Folder folder;
        for (std::size_t i = 0; i < row.size(); ++i)
            folder.putBytes(damages[(shift + i) % damages.size()].bytes, row[i]);
        const RunResult run = folder.run();
        EXPECT_EQ(run.exitCode, 127) << "from damage " << shift;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, kNoVariantMessage);
    }
}

TEST(DamagedVariantFile, ASoundCopyLaterOnTheSearchPathIsFound) {
    // LD_LIBRARY_PATH comes before the front library's own folder: damaged
    // copies there are passed over for the sound one beside the front
    // library, here the generic stand-in under the first choice's name.
    const Names row = machineRow();
    const std::string bytes = readAll(standIn(row.front()));
    Folder early, earlier;
    early.dropFrontLibrary();
    earlier.dropFrontLibrary();
    std::ofstream(early.path() / fileOf(row.front()), std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::ofstream(earlier.path() / fileOf(row.front()), std::ios::binary)
        << patched(bytes, offsetof(ElfW(Ehdr), e_machine), ElfW(Half){EM_386});
    Folder folder;
    folder.put(standIn("Zentavolg1"), row.front());
    const std::string searchPath = earlier.path().string() + ":" + early.path().string();
    RunResult run = folder.run("", searchPath);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), "loaded " + fileOf(row.front()) + "\n");
    EXPECT_EQ(run.err, "Zentavolg1 attached\n");

    // A sound copy earlier on the path is taken before the one beside.
    std::ofstream(early.path() / fileOf(row.front()), std::ios::binary | std::ios::trunc)
        << readAll(standIn("Zentavolg2"));
    run = folder.run("", searchPath);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "Zentavolg2 attached\n");
}

// Files that are no library under the first choice's name, early on the
// search path: opening a FIFO for reading would wait for a writer that never
// comes. Each is passed over for the sound copy beside the front library.
TEST(DamagedVariantFile, AFileThatIsNoRegularFileIsPassedOverAtOnce) {
    const std::string first = machineRow().front();
    const auto makeFifo = [](const fs::path& file) { ASSERT_EQ(mkfifo(file.c_str(), 0600), 0) << file; };
    const auto makeSocket = [](const fs::path& file) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(file.string().size(), sizeof address.sun_path) << file;
        std::memcpy(address.sun_path, file.c_str(), file.string().size());
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << file;
        close(fd);  // the socket's file stays
    };
    const auto makeFolder = [](const fs::path& file) { fs::create_directory(file); };
    const auto makeDevice = [](const fs::path& file) { fs::create_symlink("/dev/null", file); };
    const std::vector<std::pair<std::string, void (*)(const fs::path&)>> kinds = {
        {"FIFO", makeFifo}, {"socket", makeSocket}, {"folder", makeFolder}, {"character device", makeDevice}};
    for (const auto& [what, make] : kinds) {
        SCOPED_TRACE(what);
        Folder early;
        early.dropFrontLibrary();
        const fs::path odd = early.path() / fileOf(first);
        make(odd);
        ASSERT_FALSE(fs::is_regular_file(odd));
        Folder folder;
        folder.put(standIn("Zentavolg1"), first);
        const RunResult run = folder.run("", early.path().string());
        ASSERT_NE(run.exitCode, kTimedOut) << "the walk waited on the " << what;
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out.substr(0, run.out.find('\n') + 1), "loaded " + fileOf(first) + "\n");
        EXPECT_EQ(run.err, "Zentavolg1 attached\n");
    }
}

TEST(DamagedVariantFile, TheLoadersCacheIsReadForThisMachinesLibraries) {
    const char* ldconfig = "/sbin/ldconfig";
    if (access(ldconfig, X_OK) != 0) GTEST_SKIP() << "no " << ldconfig;
    // A cache over a folder with one stand-in, which has no SONAME and so is
    // listed under its file name.
    const Folder folder;
    const fs::path libraries = folder.path() / "lib", cache = folder.path() / "ld.so.cache";
    fs::create_directory(libraries);
    fs::copy_file(standIn("Zentavols1"), libraries / fileOf("Zentavols1"));
    const std::string command = std::string(ldconfig) + " -X -f /dev/null -C '" + cache.string() + "' '" +
                                libraries.string() + "' 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);

    char path[4096];
    ASSERT_TRUE(qel::platform::cachedLibraryPath(cache.c_str(), fileOf("Zentavols1").c_str(), path, sizeof path));
    EXPECT_EQ(fs::path(path), libraries / fileOf("Zentavols1"));
    EXPECT_FALSE(qel::platform::cachedLibraryPath(cache.c_str(), fileOf("Zentavols2").c_str(), path, sizeof path));
    EXPECT_FALSE(qel::platform::cachedLibraryPath(cache.c_str(), fileOf("Zentavols1").c_str(), path, 8));  // too short

    // A cache cut short before the end of its entries is no cache.
    const std::string bytes = readAll(cache);
    std::uint32_t entries;
    std::memcpy(&entries, bytes.data() + 20, sizeof entries);
    const fs::path cut = folder.path() / "cut.cache";
    for (std::size_t length : {std::size_t{0}, std::size_t{20}, std::size_t{47}, std::size_t{100}, 48 + 24 * std::size_t{entries} - 1}) {
        std::ofstream(cut, std::ios::binary | std::ios::trunc) << bytes.substr(0, length);
        EXPECT_FALSE(qel::platform::cachedLibraryPath(cut.c_str(), fileOf("Zentavols1").c_str(), path, sizeof path)) << length;
    }
    EXPECT_FALSE(qel::platform::cachedLibraryPath((folder.path() / "none").c_str(), fileOf("Zentavols1").c_str(), path, sizeof path));
}

}  // namespace
