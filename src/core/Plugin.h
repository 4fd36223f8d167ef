#pragma once

#include "config/PluginSettings.h"

// The process's one settings snapshot, loaded on first use and read-only afterwards.
const PluginSettings& GetSettings();

// Called once by the ASI loader: loads the settings, starts the log and
// installs the enabled fixes.
extern "C" void InitializeASI();
