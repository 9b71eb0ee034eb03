// SPDX-License-Identifier: MIT
// The Win32 backend of the front library's platform layer against the system
// itself: the two sizes of the version record, and the bounded formatting of
// the missing-function message (wsprintfA takes no buffer size).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/front_platform.h"

namespace {

using qel::platform::OsVersionInfo;

TEST(FrontPlatformVersion, BothRecordSizesAreReadAndNoByteBeyondTheDeclaredOne) {
    OsVersionInfo extended;
    std::memset(&extended, 0xAB, sizeof extended);
    extended.size = qel::platform::kOsVersionInfoExSize;
    ASSERT_TRUE(qel::platform::getVersionEx(&extended));
    EXPECT_EQ(extended.platformId, qel::platform::kPlatformWin32Nt);
    EXPECT_GT(extended.majorVersion, 0u);

    OsVersionInfo plain;
    std::memset(&plain, 0xAB, sizeof plain);
    plain.size = qel::platform::kOsVersionInfoSize;
    ASSERT_TRUE(qel::platform::getVersionEx(&plain));
    EXPECT_EQ(plain.platformId, extended.platformId);
    EXPECT_EQ(plain.majorVersion, extended.majorVersion);
    EXPECT_EQ(plain.minorVersion, extended.minorVersion);
    const auto* tail = reinterpret_cast<const unsigned char*>(&plain) + qel::platform::kOsVersionInfoSize;
    for (std::size_t i = 0; i < sizeof plain - qel::platform::kOsVersionInfoSize; ++i)
        EXPECT_EQ(tail[i], 0xAB) << "byte " << i << " past the plain record";

    for (std::uint32_t size : {0u, 147u, 157u, 1000u}) {
        OsVersionInfo other{};
        other.size = size;
        EXPECT_FALSE(qel::platform::getVersionEx(&other)) << size;
    }
    EXPECT_FALSE(qel::platform::getVersionEx(nullptr));
}

TEST(FrontPlatformFormat, FormatsTheMessageAndNeverWritesPastTheBuffer) {
    const char* format = "Unable to find function address %s\n";
    char buffer[128 + 8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(qel::platform::formatText(buffer, 128, format, "qelsMin"), 40);
    EXPECT_STREQ(buffer, "Unable to find function address qelsMin\n");

    // Too long for the buffer: the part that fits, ended by a zero, and the
    // bytes after the buffer untouched.
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(qel::platform::formatText(buffer, 16, format, "qelsMin"), 15);
    EXPECT_EQ(std::string(buffer), "Unable to find ");
    for (std::size_t i = 16; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;

    const std::string longName(3000, 'x');
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(qel::platform::formatText(buffer, 128, format, longName.c_str()), 127);
    EXPECT_EQ(std::strlen(buffer), 127u);
    for (std::size_t i = 128; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;

    buffer[0] = '#';
    EXPECT_EQ(qel::platform::formatText(buffer, 0, format, "qelsMin"), 0);
    EXPECT_EQ(buffer[0], '#');
}

TEST(FrontPlatformLibraries, AMissingLibraryGivesNull) {
    EXPECT_EQ(qel::platform::loadLibrary("ZentavolNoSuchVariant"), nullptr);
}

}  // namespace
