#include "cli/settings.h"

EchoSettings settings;
