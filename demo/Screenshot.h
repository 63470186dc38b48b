// Saves what the screen shows in a rectangle as a 24-bit BMP file. Inside Wine's
// desktop the screen is that desktop, taskbar and notification area included.
#pragma once

#include <windows.h>

#include <string>

bool SaveScreenshot(const std::string& path, const RECT& rc);
