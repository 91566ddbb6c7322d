#pragma once
// Draws a window (with its menu bar and toolbar) into a PNG file, also
// without a screen (offscreen platform). Returns false when it cannot write.

#include <string>

class Window;

bool SaveWindowPicture(Window& window, const std::string& pngPath);
