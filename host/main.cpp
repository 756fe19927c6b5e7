// quiventa: the command-line host of the Quiventa filter module.
#include <iostream>
#include <string>
#include <vector>

#include "host/host_app.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  const int status = host::runQuiventa(arguments, std::cout, std::cerr);
  std::cout.flush();
  return status;
}
