// What `quiventa settings` prints: the profiles, each with its purpose and
// every setting it changes, from the filter's default to the profile's value;
// then every setting with its meaning, default, range, list values and place
// in the dialog (host/settings_reference.h).
//
// Thread-safety: pure.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace host {

// `defaults`: the fields of the filter's default settings string (fields[p - 1]
// holds position p), to show what a profile changes from.
void writeSettingsListing(const std::vector<std::string>& defaults, std::ostream& out);

}  // namespace host
