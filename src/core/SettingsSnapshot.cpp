#include "core/SettingsSnapshot.h"

#include "config/Settings.h"

const PluginSettings& GetSettings() {
    static const PluginSettings settings = LoadSettings();
    return settings;
}
