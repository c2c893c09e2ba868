// The words of every error: the run's own, and the system's.
#pragma once

#include <string>

#include "output/platform.h"

std::string ErrorText(platform::ErrorCode code);
