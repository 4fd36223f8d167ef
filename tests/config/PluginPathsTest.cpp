#include "config/PluginPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <windows.h>

TEST(PluginDirectory, IsCutAfterTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(DirectoryOfPath(L"C:/Games/Host/scripts/Vorlaine.Crimsel.asi"), L"C:/Games/Host/scripts/");
    EXPECT_EQ(DirectoryOfPath(L"C:\\Games/Host\\scripts/Vorlaine.Crimsel.asi"), L"C:\\Games/Host\\scripts/");
    EXPECT_EQ(DirectoryOfPath(L"C:/Games\\Host\\Vorlaine.Crimsel.asi"), L"C:/Games\\Host\\");
    EXPECT_EQ(DirectoryOfPath(L"\\x"), L"\\");
    EXPECT_EQ(DirectoryOfPath(L"Vorlaine.Crimsel.asi"), L"");
    EXPECT_EQ(DirectoryOfPath(L""), L"");
}

TEST(PluginDirectory, IsTheFolderOfTheModuleThatHoldsTheCode) {
    // Linked into this executable, the code's module is the executable itself.
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring executable = path;
    const std::wstring directory = GetPluginDirectory();
    ASSERT_FALSE(directory.empty());
    EXPECT_EQ(directory.back(), L'\\');
    EXPECT_EQ(directory, executable.substr(0, executable.find_last_of(L"\\/") + 1));
}
