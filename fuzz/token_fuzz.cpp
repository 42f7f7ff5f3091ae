// token_fuzz.cpp - the scanner against a plain model that copies instead of
// working in place. Input: four bytes of flags, then the text.
#include "token.h"

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <optional>
#include <string>

namespace {

struct Cut {
	std::string token;
	std::optional<size_t> rest;  // offset of the rest; nothing for null
};

bool Blank(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// The rules read straight off: walk the text, collect the token in a new
// string, remember how much of it counts.
Cut Model(const std::string &text, uint32_t flags)
{
	const char sep = char(flags & 0xFF);
	const char open = char(flags >> 16 & 0xFF);
	const char close = (flags >> 24 & 0xFF) ? char(flags >> 24 & 0xFF) : open;
	const bool blankMode = flags & TF_BLANK_SEPARATES;
	size_t i = 0;
	std::string token;
	size_t counts = 0;
	auto next = [&] { return i < text.size() ? text[i++] : (i++, '\0'); };
	auto endOfText = [&] {
		return Cut{token.substr(0, counts),
			   (flags & TF_NULL_AT_END) ? std::nullopt : std::optional<size_t>(i - 1)};
	};

	char c = next();
	if (!(flags & TF_KEEP_LEADING))
		while (Blank(c))
			c = next();
	for (;; c = next()) {
		if (c == '\0')
			return endOfText();
		if (open != '\0' && c == open) {
			for (c = next(); c != close; c = next()) {
				if (c == '\0')
					return endOfText();
				token += c;
				counts = token.size();
			}
			continue;
		}
		if (blankMode ? Blank(c) : c == sep)
			return Cut{token.substr(0, counts), i};
		token += c;
		if (blankMode || (flags & TF_KEEP_TRAILING) || !Blank(c))
			counts = token.size();
	}
}

void Check(bool ok)
{
	if (!ok)
		abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
	if (size < 4)
		return 0;
	uint32_t flags;
	memcpy(&flags, data, 4);
	const char *text = reinterpret_cast<const char *>(data + 4);
	const size_t len = strnlen(text, size - 4);

	// Exactly the text and its terminator, so ASan sees any step outside.
	char *buf = static_cast<char *>(malloc(len + 1));
	memcpy(buf, text, len);
	buf[len] = '\0';

	// Step through the whole text with TakeToken, each cut against the model.
	char *cursor = buf;
	for (size_t steps = 0; cursor != nullptr && steps <= len + 1; steps++) {
		const size_t at = size_t(cursor - buf);
		const std::string before(buf, len + 1);
		const Cut want = Model(std::string(cursor), flags);
		char *token = TakeToken(&cursor, flags);

		Check(token == buf + at);
		Check(std::string(token) == want.token);
		Check(want.rest.has_value() == (cursor != nullptr));
		if (cursor == nullptr)
			break;
		const size_t r = size_t(cursor - token);
		Check(r == *want.rest);
		// Nothing at or after the rest was written, and the terminator
		// stands at or before the character that ended the token.
		Check(memcmp(cursor, before.data() + at + r, len - at - r + 1) == 0);
		Check(strlen(token) <= r);
		if (r == 0)
			break;  // at the terminator: every further cut is the same
	}
	Check(CutToken(nullptr, flags) == nullptr);
	free(buf);
	return 0;
}
