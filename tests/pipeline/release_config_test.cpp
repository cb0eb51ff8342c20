#include "pipeline/release_config.h"

#include <gtest/gtest.h>

#include "tests/pipeline/reply_cases.h"
#include "tests/support/test_support.h"

namespace {

TEST(ReleaseVersion, NotNewerComparesTextNotNumbers) {
    struct Case {
        const wchar_t* server;
        const wchar_t* local;
        bool notNewer;
    };
    const Case cases[] = {
        {L"1.0.9.0", L"1.0.9.0", true},    // equal texts
        {L"1.0.10.0", L"1.0.9.0", true},   // "1" < "9": the text is smaller
        {L"1.0.9.0", L"1.0.10.0", false},
        {L"2.0", L"2.0.0.0", true},        // a prefix is the smaller
        {L"2.0.0.0", L"2.0", false},
        {L"1.1.0.0", L"1.0.9.0", false},
        {L"", L"1.0.0.0", true},           // a failed fetch never updates
        {L"", L"", true},
        {L"1.0.0.0", L"", false},          // nothing local: everything is newer
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsVersionNotNewer(c.server, c.local), c.notNewer)
            << Narrow(c.server) << " vs " << Narrow(c.local);
    }
}

TEST(ReleaseValidity, NeedsEveryTextAPositiveSizeAndNotUpToDate) {
    ReleaseConfig full;
    full.download_url = L"http://127.0.0.1/p.zip";
    full.hash = L"0123456789abcdef0123456789abcdef01234567";
    full.version = L"1.2.3.4";
    full.size = 10;
    EXPECT_TRUE(IsValid(full));
    EXPECT_FALSE(IsValid(ReleaseConfig{}));

    struct Case {
        const char* name;
        void (*change)(ReleaseConfig&);
        bool valid;
    };
    const Case cases[] = {
        {"up to date", [](ReleaseConfig& r) { r.upToDate = 1; }, false},
        {"no url", [](ReleaseConfig& r) { r.download_url.clear(); }, false},
        {"no hash", [](ReleaseConfig& r) { r.hash.clear(); }, false},
        {"no version", [](ReleaseConfig& r) { r.version.clear(); }, false},
        {"size 0", [](ReleaseConfig& r) { r.size = 0; }, false},
        {"size with the top bit", [](ReleaseConfig& r) { r.size = 0x80000000u; }, true},
        {"required", [](ReleaseConfig& r) { r.required = 1; }, true},
        {"no release notes", [](ReleaseConfig& r) { r.release_notes.clear(); }, true},
    };
    for (const Case& c : cases) {
        ReleaseConfig record = full;
        c.change(record);
        EXPECT_EQ(IsValid(record), c.valid) << c.name;
    }
}

}  // namespace


namespace {

using namespace reply_cases;

TEST(ReleaseConfigReply, ParsesTheResultObject) {
    for (const ReplyCase& c : ReplyCases()) {
        ReleaseConfig got = ParseReleaseConfig(Widen(c.body));
        ExpectRecord(got, c.want, c.name);
        EXPECT_EQ(IsValid(got), c.valid) << c.name;
    }
}

}  // namespace

namespace {

// A reply of deeply nested brackets is a parse like any other: with a recursive parser it would
// exhaust the stack of the worker thread that reads it, which ends the whole process.
TEST(ReleaseConfigReply, DeeplyNestedRepliesAreRejectedWithoutRecursion) {
    const size_t depth = 200000;
    const std::wstring arrays(depth, L'[');
    const std::wstring objects = [&] {
        std::wstring text;
        for (size_t i = 0; i < depth; ++i) text += L"{\"result\":";
        return text;
    }();
    for (const std::wstring& reply : {arrays, objects, arrays + std::wstring(depth, L']')}) {
        const ReleaseConfig got = ParseReleaseConfig(reply);
        EXPECT_TRUE(got.download_url.empty() && got.version.empty() && got.hash.empty());
        EXPECT_EQ(got.size, 0u);
    }
    // Nesting inside a valid record is still read.
    const ReleaseConfig nested = ParseReleaseConfig(
        L"{\"result\":{\"version\":\"2.0\",\"x\":" + std::wstring(5000, L'[') +
        std::wstring(5000, L']') + L"}}");
    EXPECT_EQ(nested.version, L"2.0");
}

}  // namespace
