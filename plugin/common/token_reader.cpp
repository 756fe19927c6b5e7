#include "plugin/common/token_reader.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

char* readToken(char*& remaining, const char* separators) {
  while (isBlank(*remaining)) ++remaining;
  char* token = remaining;
  char* separator = std::strpbrk(remaining, separators);
  if (separator != nullptr && separator > remaining) {
    *separator = '\0';
    remaining = separator + 1;
  } else {
    remaining += std::strlen(remaining);
  }
  return token;
}

int parseDecimalInt(const char* text) {
  while (isBlank(*text)) ++text;
  bool negative = false;
  if (*text == '+' || *text == '-') {
    negative = *text == '-';
    ++text;
  }
  std::int64_t value = 0;
  for (; *text >= '0' && *text <= '9'; ++text) {
    if (value <= INT_MAX) value = value * 10 + (*text - '0');
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

double parseDecimalDouble(const char* text) { return std::strtod(text, nullptr); }
