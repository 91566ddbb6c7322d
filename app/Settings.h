#pragma once
// The one place the shell reaches the settings store from.
#include "app/PendingSettings.h"
