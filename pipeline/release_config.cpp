#include "pipeline/release_config.h"

#include <rapidjson/document.h>

#include "sys/detectors.h"

namespace {

using Utf16Document = rapidjson::GenericDocument<rapidjson::UTF16<wchar_t>>;
using Utf16Value = Utf16Document::ValueType;

// FindMember gives the first member of that name, so repeated names resolve to the first.
std::wstring StringMember(const Utf16Value& object, const wchar_t* name) {
    auto member = object.FindMember(name);
    if (member == object.MemberEnd() || !member->value.IsString()) return {};
    return std::wstring(member->value.GetString(), member->value.GetStringLength());
}

uint32_t SizeMember(const Utf16Value& object, const wchar_t* name) {
    auto member = object.FindMember(name);
    if (member == object.MemberEnd()) return 0;
    const Utf16Value& value = member->value;
    // Integers only: a number written with a fraction or exponent is a double and gives 0.
    if (value.IsUint64()) return static_cast<uint32_t>(value.GetUint64());
    if (value.IsInt64()) return static_cast<uint32_t>(static_cast<uint64_t>(value.GetInt64()));
    return 0;
}

}  // namespace

bool IsValid(const ReleaseConfig& record) {
    return record.upToDate == 0 && !record.download_url.empty() && !record.hash.empty() &&
           !record.version.empty() && record.size > 0;
}

bool IsVersionNotNewer(const std::wstring& serverVersion, const std::wstring& localVersion) {
    return CompareVersionText(serverVersion, localVersion) <= 0;
}

ReleaseConfig ParseReleaseConfig(const std::wstring& reply) {
    ReleaseConfig record;
    Utf16Document document;
    // Default rules: no comments, nothing but white space after the root value. A byte-order
    // mark that survived the conversion of the reply is not white space, so it fails here. The
    // iterative parser takes the same grammar without recursion: a reply of deeply nested
    // brackets cannot exhaust the worker thread's stack.
    document.Parse<rapidjson::kParseIterativeFlag>(reply.c_str());
    if (document.HasParseError() || !document.IsObject()) return record;
    auto result = document.FindMember(L"result");
    if (result == document.MemberEnd() || !result->value.IsObject()) return record;
    const Utf16Value& item = result->value;
    record.download_url = StringMember(item, L"download_url");
    record.version = StringMember(item, L"version");
    record.hash = StringMember(item, L"hash");
    record.release_notes = StringMember(item, L"release_notes");
    record.size = SizeMember(item, L"size");
    return record;
}
