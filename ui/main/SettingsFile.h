#pragma once
// The settings file lives in link/, where the command-line tester reads it too.
#include "link/SettingsFile.h"
