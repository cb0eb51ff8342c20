#include "pipeline/registration.h"

#include <gtest/gtest.h>

#include "sys/strings.h"
#include "tests/pipeline/install_support.h"
#include "tests/support/test_support.h"

namespace {

RegValue Text(const std::wstring& text) {
    RegValue value{true, REG_SZ, {}};
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    value.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));  // with its zero
    return value;
}

RegValue Number(DWORD number) {
    RegValue value{true, REG_DWORD, {}};
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&number);
    value.data.assign(bytes, bytes + sizeof number);
    return value;
}

std::map<std::wstring, RegValue> Expected(const std::wstring& folder, const std::wstring& version,
                                          const std::wstring& displayName) {
    const std::wstring uninstaller = L"\"" + folder + L"\\uninstaller.exe\"";
    return {
        {L"DisplayName", Text(displayName)},
        {L"InstallLocation", Text(folder)},
        {L"Publisher", Text(L"Orvane AG")},
        {L"HelpLink", Text(std::wstring(L"" TELVISTA_WEBSITE) + L"/")},
        {L"DisplayVersion", Text(version)},
        {L"UninstallString", Text(uninstaller)},
        {L"DisplayIcon", Text(uninstaller)},
        {L"NoModify", Number(1)},
        {L"NoRepair", Number(1)},
    };
}

TEST(RegisterToSystem, WritesTheNineValuesAndOverwritesThemOnTheNextInstall) {
    InstalledProductCleanup cleanup(L"Pantavi");
    ASSERT_TRUE(RegisterToSystem(L"C:\\Apps\\Product", L"1.2.3.4"));
    EXPECT_EQ(ReadUninstallEntry(), Expected(L"C:\\Apps\\Product", L"1.2.3.4", L"Pantavi"));
    EXPECT_EQ(ReadUninstallEntry()[L"UninstallString"].Text().size(), 33u);
    EXPECT_EQ(ReadUninstallEntry()[L"UninstallString"].data.size(), 34u * 2);

    // A second installation elsewhere overwrites every value; nothing of the first stays.
    ASSERT_TRUE(RegisterToSystem(L"D:\\Elsewhere\\Orvane\\Telvista", L"2.0.0.0"));
    EXPECT_EQ(ReadUninstallEntry(),
              Expected(L"D:\\Elsewhere\\Orvane\\Telvista", L"2.0.0.0", L"Pantavi"));
}

TEST(RegisterToSystem, FailsWhenTheKeyCannotBeOpened) {
    InstalledProductCleanup cleanup(L"Pantavi");
    ASSERT_TRUE(RegisterToSystem(L"C:\\Apps\\Product", L"1.0.0.0"));
    const auto before = ReadUninstallEntry();
    {
        KeyAccessDenied denied(HKEY_CURRENT_USER, kUninstallKeyPath, 0);
        ASSERT_TRUE(denied.applied());
        EXPECT_FALSE(RegisterToSystem(L"C:\\Other", L"9.0.0.0"));
    }
    EXPECT_EQ(ReadUninstallEntry(), before);
}

TEST(UninstallEntrySnapshot, PutsBackWhatWasThereAndRemovesWhatWasNot) {
    InstalledProductCleanup cleanup(L"Pantavi");
    // Nothing registered yet (the key may exist empty): restoring removes all nine again.
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKeyPath);
    const UninstallEntrySnapshot none = UninstallEntrySnapshot::Take();
    ASSERT_TRUE(RegisterToSystem(L"C:\\Apps\\Orvane\\Telvista", L"1.0.0.0"));
    EXPECT_TRUE(none.Restore());
    for (const auto& [name, value] : ReadUninstallEntry()) EXPECT_FALSE(value.present) << Narrow(name);

    ASSERT_TRUE(RegisterToSystem(L"C:\\Apps\\Orvane\\Telvista", L"1.0.0.0"));
    const auto first = ReadUninstallEntry();
    const UninstallEntrySnapshot snapshot = UninstallEntrySnapshot::Take();
    ASSERT_TRUE(RegisterToSystem(L"D:\\New\\Orvane\\Telvista", L"2.0.0.0"));
    EXPECT_TRUE(snapshot.Restore());
    EXPECT_EQ(ReadUninstallEntry(), first);
}

// Run by CTest with the user's language German (LC_ALL=de_DE under Wine); the thread's interface
// language is set too, which is what Windows takes the table from.
TEST(RegisterToSystem, GermanInterfaceGivesTheGermanDisplayName) {
    if (!::GetEnvironmentVariableW(L"TELVISTA_UI_GERMAN", nullptr, 0)) {
        GTEST_SKIP() << "runs from CTest with a German user language";
    }
    const wchar_t list[] = L"0407\0";
    ::SetThreadPreferredUILanguages(MUI_LANGUAGE_ID, list, nullptr);
    ::SetThreadUILanguage(0x0407);
    ::SetThreadLocale(MAKELCID(0x0407, SORT_DEFAULT));
    InstalledProductCleanup cleanup(L"Pantavi (PC)");
    ASSERT_TRUE(RegisterToSystem(L"C:\\Apps\\Product", L"1.0.0.0"));
    EXPECT_EQ(ReadUninstallEntry()[L"DisplayName"], Text(L"Pantavi (PC)"));
    EXPECT_EQ(ReadUninstallEntry()[L"InstallLocation"], Text(L"C:\\Apps\\Product"));
}

TEST(ProductHelpLink, IsTheWebSitesHomePage) {
    // The build's setting names the site without its final "/" (by default the example domain).
    EXPECT_EQ(ProductHelpLink(), std::wstring(L"" TELVISTA_WEBSITE) + L"/");
    EXPECT_EQ(ProductHelpLink().back(), L'/');
    EXPECT_NE(ProductHelpLink().substr(ProductHelpLink().size() - 2), L"//");
}

}  // namespace
