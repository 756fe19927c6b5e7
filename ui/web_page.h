// The settings dialog's "Visit Quiventa web page": the product's manual, an
// HTML page that ships beside the module, opened by the desktop's handler
// for web pages (xdg-open). Nothing is shown when that fails: the page is
// missing, there is no handler, or it cannot start.
#pragma once

#include <string>

// The manual beside the module: <module folder>/Quiventa.html.
std::string quiventaManualPath();

// Opens `page` with the desktop's handler; false when nothing was started.
bool visitWebPage(const std::string& page);
