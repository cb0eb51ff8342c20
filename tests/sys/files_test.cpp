#include "sys/files.h"

#include <gtest/gtest.h>
#include <winioctl.h>

#include <vector>

#include "tests/support/test_support.h"

namespace {

void Touch(const std::wstring& path, const std::string& bytes = "x") { WriteFileBytes(path, bytes); }

TEST(MakePathExist, CreatesEachMissingFolder) {
    ScratchFolder scratch;
    const std::wstring deep = scratch / L"A\\B\\C";
    EXPECT_TRUE(MakePathExist(scratch / L"A"));
    EXPECT_TRUE(MakePathExist(deep));
    EXPECT_TRUE(PathExists(deep));
    EXPECT_TRUE(MakePathExist(deep));  // already there
}

TEST(MakePathExist, FailsWhereAFolderCannotBeMade) {
    ScratchFolder scratch;
    Touch(scratch / L"file");
    const std::pair<std::wstring, bool> cases[] = {
        {L"Q:\\nowhere\\deeper", false},  // no such drive
        {L"\\rooted\\path", false},        // empty text before the first backslash
        {L"\\\\server\\share\\x", false},  // network paths start with a backslash too
        {scratch / L"file\\below", false}, // a file stands where a folder must go
    };
    for (const auto& [path, result] : cases) {
        EXPECT_EQ(MakePathExist(path), result) << Narrow(path);
        EXPECT_FALSE(PathExists(path)) << Narrow(path);
    }
}

TEST(RemoveFolder, RemovesNestedTree) {
    ScratchFolder scratch;
    const std::wstring root = scratch / L"tree";
    MakePathExist(root + L"\\a\\b\\c");
    MakePathExist(root + L"\\d");
    Touch(root + L"\\top.txt");
    Touch(root + L"\\a\\b\\c\\deep.bin");
    Touch(root + L"\\d\\x");
    RemoveFolder(root);
    EXPECT_FALSE(PathExists(root));
    RemoveFolder(root + L"\\");  // a missing folder, with a trailing backslash: nothing happens
}

TEST(RemoveFolder, LeavesPathsOfThreeCharactersOrFewer) {
    ScratchFolder scratch;
    wchar_t previous[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(scratch.path().c_str()));
    for (const wchar_t* name : {L"ab", L"abc"}) {
        MakePathExist(name);
        Touch(std::wstring(name) + L"\\keep");
        RemoveFolder(name);
        EXPECT_TRUE(PathExists(std::wstring(name) + L"\\keep")) << Narrow(name);
    }
    ::SetCurrentDirectoryW(previous);
}

TEST(RemoveFolder, ReadOnlyFileKeepsItsFoldersAndNothingElse) {
    ScratchFolder scratch;
    const std::wstring root = scratch / L"tree";
    MakePathExist(root + L"\\keep\\inner");
    MakePathExist(root + L"\\gone");
    Touch(root + L"\\keep\\inner\\locked.txt");
    Touch(root + L"\\keep\\inner\\loose.txt");
    Touch(root + L"\\gone\\file.txt");
    ::SetFileAttributesW((root + L"\\keep\\inner\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    RemoveFolder(root);
    EXPECT_TRUE(PathExists(root + L"\\keep\\inner\\locked.txt"));
    EXPECT_FALSE(PathExists(root + L"\\keep\\inner\\loose.txt"));
    EXPECT_FALSE(PathExists(root + L"\\gone"));
}

// A junction (mount point) at `link` pointing to `target`.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
    if (!::CreateDirectoryW(link.c_str(), nullptr)) return false;
    UniqueFile handle(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) return false;
    const std::wstring substitute = L"\\??\\" + target;
    const USHORT subBytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    const USHORT printBytes = static_cast<USHORT>(target.size() * sizeof(wchar_t));
    // REPARSE_DATA_BUFFER for a mount point: tag, sizes, then both names with terminators.
    std::vector<BYTE> buffer(8 + 8 + subBytes + 2 + printBytes + 2);
    auto put16 = [&](size_t at, USHORT v) { memcpy(&buffer[at], &v, 2); };
    DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    memcpy(&buffer[0], &tag, 4);
    put16(4, static_cast<USHORT>(buffer.size() - 8));
    put16(8, 0);
    put16(10, subBytes);
    put16(12, static_cast<USHORT>(subBytes + 2));
    put16(14, printBytes);
    memcpy(&buffer[16], substitute.data(), subBytes);
    memcpy(&buffer[16 + subBytes + 2], target.data(), printBytes);
    DWORD returned = 0;
    return ::DeviceIoControl(handle.get(), FSCTL_SET_REPARSE_POINT, buffer.data(),
                             static_cast<DWORD>(buffer.size()), nullptr, 0, &returned, nullptr) != FALSE;
}

// Where the platform cannot make junctions (Wine), CTest prepares the same tree with Unix symbolic
// links, which Wine shows as reparse points: `tree` holds own.txt and `link` -> `outside`, and
// `direct` -> `outside` stands beside it.
struct LinkedTree {
    std::wstring root, tree, outside, direct;
    bool realJunctions = false;
};

bool PrepareLinkedTree(const ScratchFolder& scratch, LinkedTree& layout) {
    layout = {scratch.path(), scratch / L"tree", scratch / L"outside", scratch / L"direct", true};
    MakePathExist(layout.outside + L"\\sub");
    Touch(layout.outside + L"\\precious.txt");
    Touch(layout.outside + L"\\sub\\also.txt");
    MakePathExist(layout.tree);
    Touch(layout.tree + L"\\own.txt");
    if (MakeJunction(layout.tree + L"\\link", layout.outside) && MakeJunction(layout.direct, layout.outside)) {
        return true;
    }
    const std::wstring fixture = Widen(TELVISTA_LINK_FIXTURE);
    layout = {fixture, fixture + L"\\tree", fixture + L"\\outside", fixture + L"\\direct", false};
    return PathExists(layout.tree + L"\\link\\precious.txt");
}

TEST(RemoveFolder, NeverFollowsAJunction) {
    ScratchFolder scratch;
    LinkedTree layout;
    if (!PrepareLinkedTree(scratch, layout)) GTEST_SKIP() << "no junctions here and no prepared link fixture";
    const DWORD linkAttributes = ::GetFileAttributesW((layout.tree + L"\\link").c_str());
    ASSERT_NE(linkAttributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u);

    RemoveFolder(layout.tree);
    EXPECT_FALSE(PathExists(layout.tree + L"\\own.txt"));
    EXPECT_TRUE(PathExists(layout.outside + L"\\precious.txt"));
    EXPECT_TRUE(PathExists(layout.outside + L"\\sub\\also.txt"));

    // A link given as the folder itself is never entered either.
    RemoveFolder(layout.direct);
    EXPECT_TRUE(PathExists(layout.outside + L"\\precious.txt"));
    if (layout.realJunctions) {
        // Windows removes junctions themselves; Wine cannot delete a Unix link and leaves it.
        EXPECT_FALSE(PathExists(layout.tree));
        EXPECT_FALSE(PathExists(layout.direct));
    }
}

TEST(GetModulePathParts, SplitsTheRunningExecutable) {
    ModulePathParts parts = GetModulePathParts();
    EXPECT_EQ(parts.fileName, L"sys_tests.exe");
    EXPECT_EQ(parts.folder + L"\\" + parts.fileName, parts.fullPath);
    EXPECT_NE(parts.folder.back(), L'\\');
    EXPECT_TRUE(PathExists(parts.fullPath));
}

TEST(OpenForRunning, HeldFileCanBeReadButNotChangedOrRemoved) {
    ScratchFolder scratch;
    const std::wstring path = scratch / L"tool.exe";
    const std::string bytes(100000, 'x');
    WriteFileBytes(path, bytes);
    {
        UniqueFile held = OpenForRunning(path);
        ASSERT_TRUE(held);
        EXPECT_EQ(ReadFileBytes(path).size(), bytes.size());  // readers are welcome
        UniqueFile writer(::CreateFileW(path.c_str(), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(writer);
        EXPECT_FALSE(::DeleteFileW(path.c_str()));
        EXPECT_FALSE(::MoveFileW(path.c_str(), (scratch / L"moved.exe").c_str()));

        std::string other = bytes;
        other.back() = 'y';
        struct Case {
            const char* name;
            std::string expected;
            bool holds;
        };
        const Case cases[] = {{"same bytes", bytes, true},
                              {"last byte differs", other, false},
                              {"shorter", bytes.substr(1), false},
                              {"longer", bytes + "x", false}};
        for (const Case& c : cases) {
            EXPECT_EQ(FileHoldsBytes(held.get(), c.expected.data(),
                                     static_cast<DWORD>(c.expected.size())),
                      c.holds)
                << c.name;
        }
    }
    // Let go, the file is free again; one already open for writing cannot be held.
    UniqueFile writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer);
    EXPECT_FALSE(OpenForRunning(path));
    writer.reset();
    EXPECT_TRUE(::DeleteFileW(path.c_str()));
}

TEST(ReleaseResourceToFile, WritesTheResourceReplacingAnyFile) {
    ScratchFolder scratch;
    const std::wstring target = scratch / L"sample.bin";
    Touch(target, std::string(10000, 'z'));  // longer than the resource: must be replaced, not overwritten in place
    ASSERT_TRUE(ReleaseResourceToFile(901, target));
    const std::string written = ReadFileBytes(target);
    EXPECT_EQ(written.size(), 4099u);
    EXPECT_EQ(written, ReadFileBytes(Widen(TELVISTA_SAMPLE_BIN)));
}

TEST(ReleaseResourceToFile, FailsAndLeavesNoFile) {
    ScratchFolder scratch;
    const std::wstring target = scratch / L"old.bin";
    Touch(target);
    EXPECT_FALSE(ReleaseResourceToFile(4321, target));  // no such resource
    EXPECT_FALSE(PathExists(target));                    // the old file went first
    EXPECT_FALSE(ReleaseResourceToFile(901, scratch / L"missing\\folder\\x.bin"));
}

}  // namespace
