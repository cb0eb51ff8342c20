#include "net/digest.h"

#include <gtest/gtest.h>

#include "tests/fixtures/http_fixture.h"
#include "tests/support/test_support.h"

namespace {

// Digests computed outside the installer, with sha1sum on the same bytes.
struct KnownDigest {
    const char* name;
    std::string bytes;
    const char* sha1;
};

std::vector<KnownDigest> KnownDigests() {
    return {
        {"abc", "abc", "a9993e364706816aba3e25717850c26c9cd0d89d"},
        // Hashed byte for byte: no CR LF translation, no end at the 0x1A of text streams.
        {"CR LF and 0x1A", "line one\r\nline two\r\n\x1a\r\n", "ba5a4d96491b841ac59f53ffe71b36012b7b6478"},
        {"one read", PatternBytes(8192), "af99e56a73bb60c07a7f7154be3381d665673e75"},
        {"one byte past a read", PatternBytes(8193), "c7fac2a2751ad1552813f366c3daef8eba512436"},
        {"many reads", PatternBytes(100000), "23a1065a0f6a485119049bf2799179dd0154efbb"},
        {"a million a", std::string(1000000, 'a'), "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

TEST(ToHex, TwoDigitsPerByteInEitherCase) {
    const std::vector<BYTE> bytes = {0x00, 0x0A, 0xFF};
    EXPECT_EQ(ToHex(bytes, false), "000aff");
    EXPECT_EQ(ToHex(bytes, true), "000AFF");
    EXPECT_EQ(ToHex({}, false), "");
    EXPECT_EQ(ToHex({0x10, 0x9c}, false), "109c");
}

TEST(HashFile, MatchesSha1sum) {
    ScratchFolder folder;
    for (const KnownDigest& known : KnownDigests()) {
        SCOPED_TRACE(known.name);
        const std::wstring path = folder / L"file.bin";
        WriteFileBytes(path, known.bytes);
        HashStatus status{7, "untouched"};
        std::vector<BYTE> digest = HashFile(path, status);
        EXPECT_EQ(ToHex(digest, false), known.sha1);
        EXPECT_EQ(status.code, 0u);
        EXPECT_EQ(status.message, "");
    }
}

TEST(HashFile, NoDigestForAMissingOrEmptyFileAndTheStatusUntouched) {
    ScratchFolder folder;
    WriteFileBytes(folder / L"empty.bin", "");
    for (const std::wstring& path : {folder / L"missing.bin", folder / L"empty.bin"}) {
        HashStatus status{7, "untouched"};
        EXPECT_TRUE(HashFile(path, status).empty());
        EXPECT_EQ(status.code, 7u);
        EXPECT_EQ(status.message, "untouched");
    }
}

TEST(HashFile, ReadsAFileThatAWriterHoldsOpen) {
    ScratchFolder folder;
    const std::wstring path = folder / L"file.bin";
    WriteFileBytes(path, "abc");
    UniqueFile writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    HashStatus status;
    EXPECT_EQ(ToHex(HashFile(path, status), false), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(CryptoHash, IncrementalUpdatesGiveTheWholeDigest) {
    const std::string bytes = PatternBytes(100000);
    CryptoHash hash;
    ASSERT_TRUE(hash.Begin());
    for (size_t at = 0; at < bytes.size(); at += 333) {
        DWORD size = static_cast<DWORD>(std::min<size_t>(333, bytes.size() - at));
        ASSERT_TRUE(hash.Update(bytes.data() + at, size));
    }
    ASSERT_TRUE(hash.Finish());
    EXPECT_EQ(ToHex(hash.digest(), false), "23a1065a0f6a485119049bf2799179dd0154efbb");
    EXPECT_EQ(hash.status().message, "");

    // The object serves again for the next digest.
    ASSERT_TRUE(hash.Begin());
    EXPECT_TRUE(hash.digest().empty());
    ASSERT_TRUE(hash.Update("abc", 3));
    ASSERT_TRUE(hash.Finish());
    EXPECT_EQ(ToHex(hash.digest(), false), "a9993e364706816aba3e25717850c26c9cd0d89d");
}

TEST(CryptoHash, OperationsOutOfOrderFailWithTheirMessages) {
    CryptoHash hash;
    EXPECT_FALSE(hash.Update("abc", 3));
    EXPECT_EQ(hash.status().code, 0u);
    EXPECT_EQ(hash.status().message, "Cryptographic provider not acquired!");
    EXPECT_FALSE(hash.Finish());
    EXPECT_EQ(hash.status().message, "Cryptographic provider not acquired!");

    // A second Begin leaves the first hash as it was.
    ASSERT_TRUE(hash.Begin());
    ASSERT_TRUE(hash.Update("a", 1));
    EXPECT_FALSE(hash.Begin());
    EXPECT_EQ(hash.status().code, 0u);
    EXPECT_EQ(hash.status().message, "Cryptographic provider already acquired!");
    ASSERT_TRUE(hash.Update("bc", 2));
    EXPECT_EQ(hash.status().message, "");
    ASSERT_TRUE(hash.Finish());
    EXPECT_EQ(ToHex(hash.digest(), false), "a9993e364706816aba3e25717850c26c9cd0d89d");

    // Finish gave both handles up.
    EXPECT_FALSE(hash.Update("abc", 3));
    EXPECT_EQ(hash.status().message, "Cryptographic provider not acquired!");
}

TEST(CheckDownloadFile, SizeFirstThenTheDigestInEitherCase) {
    ScratchFolder folder;
    const std::wstring path = folder / L"package.zip";
    const std::string bytes = PatternBytes(100000);
    WriteFileBytes(path, bytes);
    const std::string sha1 = "23a1065a0f6a485119049bf2799179dd0154efbb";
    struct Case {
        const char* name;
        std::string digest;
        int size;
        bool ok;
    } cases[] = {
        {"small letters", sha1, 100000, true},
        {"capital letters", Upper(sha1), 100000, true},
        {"one byte more expected", sha1, 100001, false},
        {"one byte less expected", sha1, 99999, false},
        {"another digest", "a9993e364706816aba3e25717850c26c9cd0d89d", 100000, false},
        {"space before", " " + sha1, 100000, false},
        {"space after", sha1 + " ", 100000, false},
        {"empty digest", "", 100000, false},
        {"digest cut short", sha1.substr(0, 39), 100000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CheckDownloadFile(path, Widen(c.digest), c.size), c.ok);
    }

    // The same digest on a file one byte longer.
    WriteFileBytes(path, bytes + "x");
    EXPECT_FALSE(CheckDownloadFile(path, Widen(sha1), 100000));
}

TEST(CheckDownloadFile, MissingLockedAndEmptyFiles) {
    ScratchFolder folder;
    EXPECT_FALSE(CheckDownloadFile(folder / L"missing.zip", L"", 0));
    EXPECT_FALSE(CheckDownloadFile(folder / L"missing.zip", L"", -1));
    EXPECT_FALSE(CheckDownloadFile(folder.path(), L"", 0)) << "a folder";

    // An empty file has an empty digest text, which only an empty expected digest matches.
    const std::wstring empty = folder / L"empty.zip";
    WriteFileBytes(empty, "");
    EXPECT_TRUE(CheckDownloadFile(empty, L"", 0));
    EXPECT_FALSE(CheckDownloadFile(empty, L"da39a3ee5e6b4b0d3255bfef95601890afd80709", 0));

    // A file held open by a writer that shares nothing cannot be measured: never right.
    const std::wstring held = folder / L"held.zip";
    WriteFileBytes(held, "abc");
    UniqueFile writer(::CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_FALSE(CheckDownloadFile(held, L"a9993e364706816aba3e25717850c26c9cd0d89d", 3));
    EXPECT_FALSE(CheckDownloadFile(held, L"", -1));
    writer.reset();
    EXPECT_TRUE(CheckDownloadFile(held, L"A9993E364706816ABA3E25717850C26C9CD0D89D", 3));
}

}  // namespace
