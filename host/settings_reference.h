// The settings described for people, made from the settings schema alone:
// each setting with its type, default, range, list values, the place and
// texts it has in the settings dialog, what it depends on, and its meaning.
// Three forms of the same content: plain text for `quiventa settings`, the
// README's settings section (Markdown), and the settings part of the HTML
// manual that the dialog's web-page button opens.
//
// Thread-safety: pure.
#pragma once

#include <ostream>
#include <string>

namespace host {

void writeSettingsText(std::ostream& out);

// The README section between these two lines (markers included).
inline constexpr const char* kReadmeSectionBegin =
    "<!-- settings reference: made by quiventa-docs --readme; edit the schema, not this -->";
inline constexpr const char* kReadmeSectionEnd = "<!-- end of settings reference -->";
std::string readmeSettingsSection();

// The whole manual: an introduction, then every setting by dialog column.
std::string manualHtml();

}  // namespace host
