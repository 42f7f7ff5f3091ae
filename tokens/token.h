// token.h - the in-place token scanner and its flags word.
#ifndef TOKENS_TOKEN_H
#define TOKENS_TOKEN_H

#include <stdint.h>

// The scanner's control word: bits 0-7 separator, 16-23 open quote,
// 24-31 close quote (0: same as open), plus the TF_ switches below.
typedef uint32_t TokenFlags;

const TokenFlags TF_KEEP_LEADING = 0x100;     // do not skip blanks before the token
const TokenFlags TF_KEEP_TRAILING = 0x200;    // separator mode: trailing blanks stay
const TokenFlags TF_NULL_AT_END = 0x400;      // end of text gives null, not the terminator
const TokenFlags TF_BLANK_SEPARATES = 0x800;  // any blank ends the token

// Blank separation, double-quote grouping, leading blanks skipped:
// how the command line is split.
const TokenFlags ARG_TOKEN_FLAGS = 0x00220800;

bool IsBlank(char c);

// Isolates the first token of text at text itself and returns where the
// next scan begins. Writes only before the returned position.
char *CutToken(char *text, TokenFlags flags);

// Cuts the token at *cursor, advances *cursor past it, and returns the token.
char *TakeToken(char **cursor, TokenFlags flags);

#endif
