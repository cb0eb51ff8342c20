#include "pipeline/package.h"

#include <windows.h>
#include <shellapi.h>

#include "sys/files.h"
#include "tests/pipeline/flow_support.h"

namespace {

TEST(ExtractParameters, ParseBackIntoTheToolsFiveArguments) {
    struct Case {
        std::wstring archive, folder, parsedFolder;
    };
    const Case cases[] = {
        {L"C:\\t\\2.0.1.zip", L"C:\\t\\extract-2.0.1.zip", L"C:\\t\\extract-2.0.1.zip"},
        {L"C:\\Users\\Ann Lee\\App Data\\Temp\\2.0 beta.zip",
         L"C:\\Users\\Ann Lee\\App Data\\Temp\\extract-2.0 beta.zip",
         L"C:\\Users\\Ann Lee\\App Data\\Temp\\extract-2.0 beta.zip"},
        {L"C:\\Users\\\u4E2D\u6587\\a&b (x86)\\100%.zip", L"C:\\Users\\\u4E2D\u6587\\out %TEMP%",
         L"C:\\Users\\\u4E2D\u6587\\out %TEMP%"},
        {L"C:\\t\\p.zip", L"C:\\t\\out dir\\", L"C:\\t\\out dir"},    // trailing backslash dropped
        {L"C:\\t\\p.zip", L"C:\\t\\out\\\\", L"C:\\t\\out"},
        {L"\\\\server\\share\\p p.zip", L"\\\\server\\share\\x y", L"\\\\server\\share\\x y"},
    };
    for (const Case& c : cases) {
        const std::wstring parameters = ExtractParameters(c.archive, c.folder);
        int count = 0;
        wchar_t** argv = ::CommandLineToArgvW((L"7za.exe " + parameters).c_str(), &count);
        ASSERT_NE(argv, nullptr);
        std::vector<std::wstring> args(argv + 1, argv + count);
        ::LocalFree(argv);
        EXPECT_EQ(args, (std::vector<std::wstring>{L"x", c.archive, L"-y", L"-aoa",
                                                    L"-o" + c.parsedFolder}))
            << Narrow(parameters);
    }
    // The five pieces, exactly.
    EXPECT_EQ(ExtractParameters(L"C:\\a b\\1.zip", L"C:\\a b\\extract-1.zip"),
              L"x \"C:\\a b\\1.zip\" -y -aoa -o\"C:\\a b\\extract-1.zip\"");
    // A double quote cannot stand inside a quoted argument: no command line at all.
    EXPECT_EQ(ExtractParameters(L"C:\\a\"b.zip", L"C:\\out"), L"");
    EXPECT_EQ(ExtractParameters(L"C:\\a.zip", L"C:\\o\"ut"), L"");
}

TEST(PlainFileName, OnlyNamesThatStayInTheirFolder) {
    for (const wchar_t* good : {L"2.0.1.zip", L"extract-2.0.1.zip", L"1.0 beta.zip", L"v2_0.zip",
                                L"\u7248\u672C.zip", L"CONSOLE.zip", L"COM10.zip", L"a.b"}) {
        EXPECT_TRUE(IsPlainFileName(good)) << Narrow(good);
    }
    for (const wchar_t* bad : {L"", L"..", L"...", L". .", L" ", L"../x.zip", L"..\\x.zip",
                               L"a\\b.zip", L"a/b.zip", L"C:x.zip", L"1..2.zip", L"a<b", L"a>b",
                               L"a\"b", L"a|b", L"a?b", L"a*b", L"tab\there", L"CON.zip",
                               L"con", L"NUL .zip", L"com1.zip", L"LPT9", L"aux.tar.gz"}) {
        EXPECT_FALSE(IsPlainFileName(bad)) << Narrow(bad);
    }
}

TEST(ArchiveToolExitCode, WarningsPassFatalErrorsFail) {
    for (unsigned long code : {0ul, 1ul}) EXPECT_TRUE(IsArchiveToolSuccess(code)) << code;
    for (unsigned long code : {2ul, 7ul, 8ul, 255ul}) EXPECT_FALSE(IsArchiveToolSuccess(code)) << code;
}

class PackageTest : public FlowTest {
protected:
    void SetUp() override {
        FlowTest::SetUp();
        if (HasFatalFailure()) return;
        zip = FixtureBytes("package.zip");
        ASSERT_FALSE(zip.empty());
        ASSERT_TRUE(ReleaseResourceToFile(kArchiveToolResource, Temp() + L"\\7za.exe"));
        pipeline.window = &window;
    }
    ReleaseConfig Package(const std::string& bytes) {
        return RecordFor("2.0.1", server.Url("/package.zip"), bytes);
    }
    void ExpectUnpacked(const std::wstring& folder) {
        EXPECT_EQ(ReadFileBytes(folder + L"\\data\\readme.txt").size(), 23u);
        EXPECT_EQ(ReadFileBytes(folder + L"\\sub folder\\notes.txt").size(), 540u);
        EXPECT_EQ(ReadFileBytes(folder + L"\\Telvista.exe").size(), 35u);
    }
    std::string zip;
};

TEST_F(PackageTest, VersionIsUnpackedIntoItsOwnFolderWithNestedFolders) {
    ASSERT_TRUE(server.Script({{"/package.zip", {FixtureReply::Bytes(zip)}}}));
    // Left by an earlier, different archive of the same name: must not come along.
    const std::wstring folder = Temp() + L"\\extract-2.0.1.zip";
    MakePathExist(folder + L"\\old");
    WriteFileBytes(folder + L"\\old\\stale.dll", "old");
    WriteFileBytes(folder + L"\\Telvista.exe", "old and longer than the new one, by far, truly");

    EXPECT_EQ(pipeline.DownloadAndCheck(Package(zip), L"2.0.1.zip", 40, 60, true), folder);
    ExpectUnpacked(folder);
    EXPECT_FALSE(PathExists(folder + L"\\old"));
    EXPECT_EQ(ReadFileBytes(Temp() + L"\\2.0.1.zip"), zip);
    const std::vector<int> percents = window.Percents();
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    EXPECT_GE(percents.front(), 40);
    const auto lines = log.NewMessages();
    EXPECT_EQ(OnlyLines(lines, {"Download: " + Narrow(server.Url("/package.zip")), "Download ok",
                                "7za exit code: 0"}),
              (std::vector<std::string>{"Download: " + Narrow(server.Url("/package.zip")),
                                        "Download ok", "7za exit code: 0"}));
    // The tool is let go once it has run.
    EXPECT_TRUE(::DeleteFileW((Temp() + L"\\7za.exe").c_str()));
}

TEST_F(PackageTest, DecompressPackageFailures) {
    const std::wstring archive = Temp() + L"\\2.0.1.zip";
    const std::wstring folder = Temp() + L"\\extract-2.0.1.zip";
    const std::wstring tool = Temp() + L"\\7za.exe";
    struct Case {
        const char* name;
        std::string archiveBytes;
        std::wstring archivePath;
        bool toolPresent;
        std::string toolBytes;  // empty: the resource's
        bool ok;
        const char* line;  // expected log line, or nullptr
    };
    const Case cases[] = {
        {"complete archive", zip, archive, true, "", true, "7za exit code: 0"},
        {"tool missing", zip, archive, false, "", false, nullptr},
        {"archive path without backslash", zip, L"2.0.1.zip", true, "", false, nullptr},
        {"truncated archive", zip.substr(0, zip.size() / 2), archive, true, "", false,
         "7za exit code: 2"},
        {"tool not the installer's own", zip, archive, true, "MZ not the tool", false,
         "7za.exe differs from the installer's own"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogMark mark;
        RemoveFolder(folder);
        WriteFileBytes(archive, c.archiveBytes);
        ::DeleteFileW(tool.c_str());
        if (c.toolPresent) {
            if (c.toolBytes.empty()) ASSERT_TRUE(ReleaseResourceToFile(kArchiveToolResource, tool));
            else WriteFileBytes(tool, c.toolBytes);
        }
        EXPECT_EQ(pipeline.DecompressPackage(c.archivePath, folder), c.ok);
        if (c.line) {
            EXPECT_EQ(OnlyLines(mark.NewMessages(), {c.line}).size(), 1u);
        }
        if (c.ok) ExpectUnpacked(folder);
    }
}

TEST_F(PackageTest, TruncatedArchiveFailsTheStep) {
    const std::string cut = zip.substr(0, zip.size() - 40);
    ASSERT_TRUE(server.Script({{"/package.zip", {FixtureReply::Bytes(cut)}}}));
    EXPECT_EQ(pipeline.DownloadAndCheck(Package(cut), L"2.0.1.zip", 0, 100, true), L"");
    EXPECT_EQ(OnlyLines(log.NewMessages(), {"DecompressPackage failed"}).size(), 1u);
}

TEST_F(PackageTest, EarlierFilesOfTheFullSize) {
    struct Case {
        const char* name;
        std::string onDisk;
        std::wstring result;  // "" fails
        size_t requests;
        const char* line;
    };
    std::string corrupt = zip;
    corrupt[100] ^= 0x20;
    const Case cases[] = {
        {"complete and correct: used without a request", zip, L"dir", 0, "Download ok"},
        {"full size but corrupt: the check fails", corrupt, L"", 1, "Download failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogMark mark;
        ASSERT_TRUE(server.Script({{"/package.zip", {FixtureReply::Bytes(zip)}}}));
        const std::wstring file = Temp() + L"\\2.0.1.zip";
        WriteFileBytes(file, c.onDisk);
        const std::wstring result =
            pipeline.DownloadAndCheck(Package(zip), L"2.0.1.zip", 0, 100, true);
        EXPECT_EQ(result.empty(), c.result.empty());
        if (!result.empty()) ExpectUnpacked(result);
        EXPECT_EQ(server.Requests().size(), c.requests);
        EXPECT_EQ(OnlyLines(mark.NewMessages(), {c.line}).size(), 1u);
        EXPECT_EQ(ReadFileBytes(file), c.onDisk);  // never deleted here
    }
}

TEST_F(PackageTest, FilesWithoutUnpackingAndTheirFailures) {
    const std::string bytes = PatternBytes(30000);
    struct Case {
        const char* name;
        FixtureReply reply;
        ReleaseConfig record;
        bool ok;
        const char* line;
    };
    ReleaseConfig good = RecordFor("4.5.2", server.Url("/ndp.exe"), bytes);
    ReleaseConfig wrongHash = good;
    wrongHash.hash = Widen(Sha1Hex("other"));
    const Case cases[] = {
        {"downloaded and checked", FixtureReply::Bytes(bytes), good, true, "Download ok"},
        {"digest mismatch", FixtureReply::Bytes(bytes), wrongHash, false, "CheckDownloadFile failed"},
        {"server error", FixtureReply::Status(500), good, false, "Download failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogMark mark;
        ::DeleteFileW((Temp() + L"\\ndp.exe").c_str());
        ASSERT_TRUE(server.Script({{"/ndp.exe", {c.reply}}}));
        const std::wstring result = pipeline.DownloadAndCheck(c.record, L"ndp.exe", 0, 30, false);
        EXPECT_EQ(result, c.ok ? Temp() + L"\\ndp.exe" : L"");
        EXPECT_EQ(OnlyLines(mark.NewMessages(), {c.line}).size(), 1u);
    }
    // A name that is not a plain file name is refused before any request.
    ASSERT_TRUE(server.Script({}));
    EXPECT_EQ(pipeline.DownloadAndCheck(good, L"..\\ndp.exe", 0, 30, false), L"");
    EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
