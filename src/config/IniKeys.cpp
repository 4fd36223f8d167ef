#include "config/IniKeys.h"

const IniKey kIniKeys[kIniKeyCount] = {
    {L"General", L"FixExecutionBloodDecals", L"1",
     L"Fixes missing execution blood decals when executions are non-interactive. Thanks to Orrisbane.",
     &PluginSettings::FixExecutionBloodDecals, nullptr},
    {L"General", L"PatchBloodDecalColorAndAlpha", L"0",
     L"Patches blood decals to render more like the Wii version and enables RGB/alpha overrides.",
     &PluginSettings::PatchBloodDecalColorAndAlpha, nullptr},
    {L"General", L"FixStaleDamageMapDecals", L"1",
     L"Fixes stale blood decal maps appearing on newly spawned hunters.",
     &PluginSettings::FixStaleDamageMapDecals, nullptr},
    {L"BloodDecal", L"Red", L"224", nullptr, nullptr, &PluginSettings::Red},
    {L"BloodDecal", L"Green", L"224", nullptr, nullptr, &PluginSettings::Green},
    {L"BloodDecal", L"Blue", L"224", nullptr, nullptr, &PluginSettings::Blue},
    {L"BloodDecal", L"Alpha", L"255", nullptr, nullptr, &PluginSettings::Alpha},
    {L"Logging", L"EnableLogging", L"0", nullptr, &PluginSettings::EnableLogging, nullptr},
    {L"Logging", L"LogDamageMapDiagnostics", L"0", nullptr, &PluginSettings::LogDamageMapDiagnostics,
     nullptr},
    {L"Logging", L"LogExecutionDecals", L"0", nullptr, &PluginSettings::LogExecutionDecals, nullptr},
};
