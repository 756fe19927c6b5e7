// The token reader shared by the settings string and the log reader.
//
// It works in place on a zero-terminated text: leading white space (blank,
// tab, LF, VT, FF, CR) is skipped, the text is cut at the first separator,
// and `remaining` moves past it. A separator found at the very first
// position does not count: the whole rest becomes the token (callers that
// need empty fields handle them before calling, see config_string.cpp).
// Reading past the end yields empty tokens.
#pragma once

// Returns the token (a pointer into the text); `remaining` is updated.
char* readToken(char*& remaining, const char* separators);

// Decimal text to int: leading white space, optional sign, digits; anything
// else ends the number; no digits give 0. Values beyond int saturate.
int parseDecimalInt(const char* text);
// Decimal text to double as the C library reads it; no number gives 0.0.
double parseDecimalDouble(const char* text);
