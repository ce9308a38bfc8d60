#include "platform/platform.h"

namespace {
Platform g_platform;
}

void SetPlatform(const Platform& platform) { g_platform = platform; }

const Platform& GetPlatform() { return g_platform; }
