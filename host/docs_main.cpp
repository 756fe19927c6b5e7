// quiventa-docs: the documents made from the settings schema.
//   quiventa-docs --manual FILE         the HTML manual (the build puts it beside the module)
//   quiventa-docs --readme              the README's settings section, to standard output
//   quiventa-docs --update-readme FILE  replaces that section in FILE
// Files are written to a temporary beside them and renamed into place.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "host/settings_reference.h"

namespace {

bool writeFile(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary);
    out << text;
    if (!out.flush()) {
      std::remove(temporary.c_str());
      return false;
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  return !error;
}

int updateReadme(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  const std::string text = content.str();
  const std::size_t begin = text.find(host::kReadmeSectionBegin);
  const std::size_t endMarker = text.find(host::kReadmeSectionEnd);
  if (!in || begin == std::string::npos || endMarker == std::string::npos || endMarker < begin) {
    std::cerr << "quiventa-docs: " << path << " has no settings section to replace\n";
    return 1;
  }
  const std::size_t end = text.find('\n', endMarker);
  const std::string updated = text.substr(0, begin) + host::readmeSettingsSection() +
                              (end == std::string::npos ? "" : text.substr(end + 1));
  if (!writeFile(path, updated)) {
    std::cerr << "quiventa-docs: cannot write " << path << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string option = argc > 1 ? argv[1] : "";
  if (option == "--readme" && argc == 2) {
    std::cout << host::readmeSettingsSection();
    return 0;
  }
  if (option == "--update-readme" && argc == 3) return updateReadme(argv[2]);
  if (option == "--manual" && argc == 3) {
    if (writeFile(argv[2], host::manualHtml())) return 0;
    std::cerr << "quiventa-docs: cannot write " << argv[2] << "\n";
    return 1;
  }
  std::cerr << "usage: quiventa-docs --manual FILE | --readme | --update-readme FILE\n";
  return 2;
}
