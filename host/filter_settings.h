// The settings of a filter instance as the host sees them: the statement
// the filter writes (fssProc), split into fields, and changes handed back
// through the filter's Config function. The host never touches the instance
// record itself.
//
// Field positions follow the stabiliser's settings string (position 1 the
// format version, 2..61 the settings); a module whose statement has fewer
// fields simply has fewer settings.
//
// Thread-safety: the instance's thread.
#pragma once

#include <string>
#include <vector>

#include "host/filter_instance.h"

namespace host {

class CFilterSettings {
 public:
  explicit CFilterSettings(CFilterInstance& instance) : instance_(instance) {}

  // The statement as the filter writes it.
  std::string statement();
  // Its fields, escapes undone. Throws CHostError (runtime) when the filter
  // writes something that is not a Config("...") statement.
  std::vector<std::string> fields();

  // --config: a statement or bare string from the user, checked (format
  // version, field count, field types) and handed to the filter. Throws
  // CHostError (usage) naming the problem.
  void applyUserStatement(const std::string& text);
  // Replaces the field at `position` (2..) with `fieldText`. Throws
  // CHostError (usage) when the filter's settings have no such field.
  void setField(int position, const std::string& fieldText, const std::string& name);

  // The output delay of pass 2 in frames: futureFrames (position 48) when
  // useFutureFrames (position 46) is 1, else 0; 0 as well for a statement
  // without these positions.
  int outputDelayFrames();

 private:
  CFilterInstance& instance_;
};

}  // namespace host
