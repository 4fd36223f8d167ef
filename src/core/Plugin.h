#pragma once

// Called once by the ASI loader: loads the settings, starts the log and
// installs the enabled fixes.
extern "C" void InitializeASI();
