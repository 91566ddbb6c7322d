#pragma once
// The one place the shell reaches the settings store from.
#include "settings/Globals.h"
