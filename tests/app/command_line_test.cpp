#include "app/command_line.h"

#include <gtest/gtest.h>

#include "app/installer_dlg.h"

namespace {

struct FormCase {
    const wchar_t* commandLine;
    StartForm form;
    int top;
    int left;
    const wchar_t* replacementParameters;
    const wchar_t* presetFolder;
};

const FormCase kForms[] = {
    {L"", StartForm::Short, 0, 0, L"", L""},
    {L"u", StartForm::Short, 0, 0, L"", L""},
    {L"7", StartForm::Short, 0, 0, L"", L""},
    {L"u 100 200", StartForm::SelfReplacement, 0, 0, L"100 200", L""},
    {L"u -8 -8", StartForm::SelfReplacement, 0, 0, L"-8 -8", L""},
    {L"U 100 200", StartForm::Other, 0, 100, L"", L""},  // capital U is not the replacement
    {L"100 200", StartForm::Other, 100, 200, L"", L""},
    {L" 100 200", StartForm::Other, 0, 0, L"", L""},  // the space is the first character
    {L"-20 +35", StartForm::Other, -20, 35, L"", L""},
    {L"100", StartForm::Other, 0, 0, L"", L""},  // no space: both stay 0
    {L"12abc 7x", StartForm::Other, 12, 7, L"", L""},
    {L"  4  9", StartForm::Other, 0, 0, L"", L""},
    // Only a folder of the product's own name becomes the preset: the install replaces it whole.
    {L"C:\\Program Files\\Orvane\\Telvista", StartForm::Other, 0, 0, L"",
     L"C:\\Program Files\\Orvane\\Telvista"},
    {L"D:\\orvane\\TELVISTA", StartForm::Other, 0, 0, L"", L"D:\\orvane\\TELVISTA"},
    {L"C:\\Program Files\\Product", StartForm::Other, 0, 0, L"", L""},
    {L"D:\\Apps", StartForm::Other, 0, 0, L"", L""},
    {L"C:\\Users\\bob", StartForm::Other, 0, 0, L"", L""},
    {L"C:\\", StartForm::Other, 0, 0, L"", L""},
    {L"C:\\Apps\\Telvista", StartForm::Other, 0, 0, L"", L""},
    {L"C:\\Apps\\Orvane\\Telvista\\..\\..", StartForm::Other, 0, 0, L"", L""},
    {L"\\\\server\\share", StartForm::Other, 0, 0, L"", L""},
    {L"C:relative", StartForm::Other, 0, 0, L"", L""},
};

TEST(CommandLine, FormsPositionsAndPresetFolder) {
    for (const FormCase& c : kForms) {
        SCOPED_TRACE(testing::Message() << "command line [" << testing::PrintToString(std::wstring(c.commandLine)) << "]");
        StartCommand command = ParseCommandLine(c.commandLine);
        EXPECT_EQ(command.form, c.form);
        EXPECT_EQ(command.top, c.top);
        EXPECT_EQ(command.left, c.left);
        EXPECT_EQ(command.replacementParameters, c.replacementParameters);
        EXPECT_EQ(command.presetInstallFolder, c.presetFolder);
    }
}

TEST(CommandLine, ReadDecimalFollowsAtoi) {
    const std::pair<const wchar_t*, int> cases[] = {
        {L"", 0},           {L"abc", 0},         {L"42", 42},        {L"  \t-17z", -17},
        {L"+5", 5},         {L"--5", 0},         {L"2147483647", 2147483647},
        {L"99999999999", 2147483647},            {L"-2147483648", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(ReadDecimal(text), value) << testing::PrintToString(std::wstring(text));
}

TEST(CommandLine, TailSkipsProgramToken) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"\"C:\\My Apps\\setup.exe\" 100 200", L"100 200"},
        {L"C:\\setup.exe u 1 2", L"u 1 2"},
        {L"setup.exe", L""},
        {L"\"C:\\a b\\setup.exe\"   C:\\Program Files\\X", L"C:\\Program Files\\X"},
        {L"\"unterminated", L""},
    };
    for (const auto& [full, tail] : cases) EXPECT_EQ(CommandLineTail(full), tail);
}

TEST(WindowPlacement, CentresEachAxisBelowOne) {
    const RECT work{0, 0, 1280, 760};
    struct {
        int left, top;
        LONG x, y;
    } cases[] = {
        {0, 0, 160, 80}, {0, 300, 160, 300}, {200, 0, 200, 80}, {200, 100, 200, 100},
        {-5, 1, 160, 1}, {1, -5, 1, 80},
    };
    for (const auto& c : cases) {
        POINT origin = WindowOrigin(c.left, c.top, 960, 600, work);
        EXPECT_EQ(origin.x, c.x) << c.left << "," << c.top;
        EXPECT_EQ(origin.y, c.y) << c.left << "," << c.top;
    }
}

}  // namespace
