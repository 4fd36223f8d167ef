#pragma once

#include "config/PluginSettings.h"

// The process's one settings snapshot, loaded on first use and read-only afterwards.
const PluginSettings& GetSettings();
