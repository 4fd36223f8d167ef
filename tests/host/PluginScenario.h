#pragma once

// A scenario with the real plug-in: a fresh game folder named after the test,
// an INI of the test's own, the plug-in loaded and started as an ASI loader does,
// and the host bytes it changed.

#include "HostFunctions.h"
#include "StandInHost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <regex>
#include <string>
#include <vector>

class PluginScenario : public ::testing::Test {
  protected:
    std::wstring folder;
    LoadedPlugin plugin{};
    std::vector<HostByteChange> changes;

    void SetUp() override {
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string name = std::string(info->test_suite_name()) + "." + info->name();
        folder = CreateGameFolder(std::wstring(name.begin(), name.end()));
    }

    void WriteIni(const std::string& text) {
        ASSERT_TRUE(WriteFileBytes(folder + L"Vorlaine.Crimsel.ini", text));
    }

    void StartPlugin() {
        const std::vector<uint8_t> before = CopyHostCode();
        plugin = LoadPlugin(folder);
        ASSERT_NE(plugin.Module, nullptr);
        ASSERT_NE(plugin.InitializeASI, nullptr);
        volatile InitializeAsiFunction initialize = plugin.InitializeASI;
        initialize();
        changes = CompareHostCode(before, CopyHostCode());
    }

    std::string Log() { return ReadFileBytes(folder + L"Crimsel.log"); }

    // Runs host code with ECX = ecx; the callee-saved registers and the stack must come back as they were.
    void RunHost(uint32_t function, const void* ecx) {
        volatile uint32_t entry = function;
        CallWithSentinels(entry, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(ecx)));
        EXPECT_EQ(LastRegisterCheck.Ebx, kSentinelEbx);
        EXPECT_EQ(LastRegisterCheck.Esi, kSentinelEsi);
        EXPECT_EQ(LastRegisterCheck.Edi, kSentinelEdi);
        EXPECT_EQ(LastRegisterCheck.Ebp, kSentinelEbp);
        EXPECT_EQ(LastRegisterCheck.EspAfter, LastRegisterCheck.EspBefore);
    }

    // The log's entries without their time stamps; each line must be a whole entry.
    std::vector<std::string> Entries() {
        static const std::regex prefix(R"(\[\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}\] )");
        const std::string log = Log();
        for (size_t start = 0; start < log.size();) {
            const size_t end = log.find("\r\n", start);
            if (end == std::string::npos) {
                ADD_FAILURE() << "the log does not end with CR LF";
                break;
            }
            EXPECT_TRUE(std::regex_search(log.begin() + static_cast<std::ptrdiff_t>(start),
                                          log.begin() + static_cast<std::ptrdiff_t>(end), prefix,
                                          std::regex_constants::match_continuous))
                << "entry at byte " << start;
            start = end + 2;
        }
        return LogEntries(log);
    }

    // True when the near call or jump at site (opcode given) now leads into the plug-in.
    bool BranchesIntoPlugin(uint32_t site, uint8_t opcode) const {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(site);
        uint32_t displacement;
        std::memcpy(&displacement, bytes + 1, sizeof displacement);
        return bytes[0] == opcode && InPlugin(site + 5 + displacement);
    }
    bool CallsIntoPlugin(uint32_t site) const { return BranchesIntoPlugin(site, 0xE8); }
    bool JumpsIntoPlugin(uint32_t site) const { return BranchesIntoPlugin(site, 0xE9); }

    // True when every changed host byte lies in one of the windows [first, first + size).
    bool ChangedOnlyWithin(std::initializer_list<std::pair<uint32_t, uint32_t>> windows) const {
        for (const HostByteChange& change : changes) {
            bool inside = false;
            for (const auto& window : windows) {
                inside = inside ||
                         (change.Address >= window.first && change.Address < window.first + window.second);
            }
            if (!inside) {
                return false;
            }
        }
        return true;
    }

    // True when address lies inside the loaded plug-in's image.
    bool InPlugin(uint32_t address) const {
        MEMORY_BASIC_INFORMATION info{};
        VirtualQuery(reinterpret_cast<void*>(address), &info, sizeof info);
        return info.AllocationBase == plugin.Module;
    }
};
