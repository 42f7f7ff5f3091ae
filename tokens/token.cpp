// token.cpp - isolates one token of a writable text in place.
#include "token.h"

bool IsBlank(char c)
{
	return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// One pass with three positions: r reads, w writes the compacted token,
// e marks where the token ends. w never passes r, so the copy is safe in
// place and nothing at or after the returned position is touched.
char *CutToken(char *text, TokenFlags flags)
{
	if (text == nullptr)
		return nullptr;

	const char separator = (char)(flags & 0xFF);
	const char open = (char)((flags >> 16) & 0xFF);
	char close = (char)((flags >> 24) & 0xFF);
	if (close == '\0')
		close = open;

	char *r = text;
	char *w = text;
	char *e = text;
	char c;

	if (flags & TF_KEEP_LEADING) {
		c = *r++;
	} else {
		do
			c = *r++;
		while (IsBlank(c));
	}

	for (;; c = *r++) {
		if (c == '\0')
			goto end_of_text;
		if (open != '\0' && c == open) {
			// A quoted stretch keeps everything up to the close quote.
			for (;;) {
				c = *r++;
				if (c == '\0')
					goto end_of_text;
				if (c == close)
					break;
				*w++ = c;
				e = w;
			}
			continue;
		}
		if (flags & TF_BLANK_SEPARATES) {
			if (IsBlank(c))
				break;
			*w++ = c;
			e = w;
		} else {
			if (c == separator)
				break;
			*w++ = c;
			// Blanks stay only if something non-blank follows them.
			if ((flags & TF_KEEP_TRAILING) || !IsBlank(c))
				e = w;
		}
	}
	*e = '\0';
	return r;

end_of_text:
	r--;
	*e = '\0';
	return (flags & TF_NULL_AT_END) ? nullptr : r;
}

char *TakeToken(char **cursor, TokenFlags flags)
{
	char *token = *cursor;
	*cursor = CutToken(token, flags);
	return token;
}
