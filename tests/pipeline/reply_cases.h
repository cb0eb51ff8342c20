#pragma once
// The table of release-config replies and the records they give, shared by the parser test and
// the test of the same replies served over HTTP.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pipeline/release_config.h"

namespace reply_cases {

struct ReplyCase {
    const char* name;
    std::string body;
    ReleaseConfig want;
    bool valid;
};

inline ReleaseConfig Record(const wchar_t* url, const wchar_t* hash, const wchar_t* version,
                     uint32_t size, const wchar_t* notes) {
    ReleaseConfig r;
    r.download_url = url;
    r.hash = hash;
    r.version = version;
    r.size = size;
    r.release_notes = notes;
    return r;
}

inline void ExpectRecord(const ReleaseConfig& got, const ReleaseConfig& want, const char* name) {
    EXPECT_EQ(got.download_url, want.download_url) << name;
    EXPECT_EQ(got.hash, want.hash) << name;
    EXPECT_EQ(got.version, want.version) << name;
    EXPECT_EQ(got.size, want.size) << name;
    EXPECT_EQ(got.release_notes, want.release_notes) << name;
    EXPECT_EQ(got.upToDate, 0) << name;
    EXPECT_EQ(got.required, 0) << name;
}

inline constexpr wchar_t kUrl[] = L"https://dl.example/p.zip";
inline constexpr wchar_t kHash[] = L"0123456789ABCDEF0123456789abcdef01234567";

inline std::vector<ReplyCase> ReplyCases() {
    const std::string members =
        R"("download_url": "https://dl.example/p.zip", "version": "1.2.3.4", )"
        R"("hash": "0123456789ABCDEF0123456789abcdef01234567", "release_notes": "Fixes")";
    auto withSize = [&](const std::string& size) {
        return R"({"result": {)" + members + R"(, "size": )" + size + "}}";
    };
    const ReleaseConfig full = Record(kUrl, kHash, L"1.2.3.4", 1048576, L"Fixes");
    auto sized = [&](uint32_t size) {
        ReleaseConfig r = full;
        r.size = size;
        return r;
    };
    const std::string sizeOne = withSize("1");
    return {
        {"full record", withSize("1048576"), full, true},
        {"other members ignored",
         R"({"code": 0, "result": {"id": 7, )" + members + R"(, "size": 1048576}, "x": []})", full,
         true},
        {"members at the root", "{" + members + R"(, "size": 1048576})", {}, false},
        {"result not an object", R"({"result": [1]})", {}, false},
        {"result a string", R"({"result": "none"})", {}, false},
        {"root not an object", "[" + sizeOne + "]", {}, false},
        {"not JSON", "<html>Bad gateway</html>", {}, false},
        {"trailing text", withSize("1048576") + " 1", {}, false},
        {"empty body", "", {}, false},
        {"size missing", R"({"result": {)" + members + "}}", sized(0), false},
        {"size 0", withSize("0"), sized(0), false},
        {"size a string", withSize(R"("1048576")"), sized(0), false},
        {"size a double", withSize("1048576.0"), sized(0), false},
        {"size with exponent", withSize("1e6"), sized(0), false},
        {"size negative: its low 32 bits", withSize("-1"), sized(0xFFFFFFFFu), true},
        {"size 2^32: low bits 0", withSize("4294967296"), sized(0), false},
        {"size above 2^32: low 32 bits", withSize("4294967396"), sized(100), true},
        {"size above 2^64", withSize("18446744073709551616"), sized(0), false},
        {"size largest 32-bit", withSize("4294967295"), sized(0xFFFFFFFFu), true},
        {"empty hash",
         R"({"result": {"download_url": "https://dl.example/p.zip", "version": "1.2.3.4", )"
         R"("hash": "", "release_notes": "Fixes", "size": 1048576}})",
         Record(kUrl, L"", L"1.2.3.4", 1048576, L"Fixes"), false},
        {"texts of other types",
         R"({"result": {"download_url": null, "version": 1.2, "hash": ["a"], )"
         R"("release_notes": {}, "size": 5}})",
         Record(L"", L"", L"", 5, L""), false},
        {"names match exactly",
         R"({"result": {"Download_url": "https://dl.example/p.zip", "VERSION": "1.2.3.4", )"
         R"("hash": "0123456789ABCDEF0123456789abcdef01234567", "Size": 5}})",
         Record(L"", kHash, L"", 0, L""), false},
        {"first of repeated names",
         R"({"result": {"version": "1.0.0.1", "size": 7, "version": "9.9.9.9", "size": 9, )" +
             members + R"(}, "result": {"version": "5"}})",
         Record(kUrl, kHash, L"1.0.0.1", 7, L"Fixes"), true},
        {"escapes and non-ASCII text",
         R"({"result": {"download_url": "https://dl.example/p.zip", "version": "1.2.3.4", )"
         R"("hash": "0123456789ABCDEF0123456789abcdef01234567", "size": 3, )"
         "\"release_notes\": \"caf\xC3\xA9 \\u4e2d\\n\\\"ok\\\"\"}}",
         Record(kUrl, kHash, L"1.2.3.4", 3, L"caf\u00e9 \u4e2d\n\"ok\""), true},
    };
}

}  // namespace reply_cases
