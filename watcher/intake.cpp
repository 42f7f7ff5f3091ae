// intake.cpp - the options and the file name from the command line.
#include "intake.h"

#include "changewait.h"
#include "token.h"

// Where a number of seconds stops growing: thirty thousand years is no
// bound in practice, and the milliseconds then stay far from wrapping.
static const ULONGLONG MOST_SECONDS = 1000000000000ull;

BOOL ReadSeconds(LPCSTR text, ULONGLONG *ms)
{
	ULONGLONG whole = 0, thousandths = 0;
	int digits = 0, places = -1;  // places after the point; -1: none yet
	BOOL beyond = FALSE;          // a digit past the thousandths that is not 0
	for (LPCSTR p = text; *p != '\0'; p++) {
		if (*p == '.' && places < 0) {
			places = 0;
			continue;
		}
		if (*p < '0' || *p > '9')
			return FALSE;
		const int digit = *p - '0';
		digits++;
		if (places < 0)
			whole = whole < MOST_SECONDS ? whole * 10 + (ULONGLONG)digit : MOST_SECONDS;
		else if (places < 3)
			thousandths = thousandths * 10 + (ULONGLONG)digit, places++;
		else if (digit != 0)
			beyond = TRUE;
	}
	if (digits == 0)
		return FALSE;
	for (places = places < 0 ? 0 : places; places < 3; places++)
		thousandths *= 10;
	*ms = whole * 1000 + thousandths + (beyond ? 1 : 0);
	return TRUE;
}

static BOOL IsLetter(CHAR c)
{
	return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

static BOOL IsOption(LPCSTR token)
{
	return token[0] == '/' && (IsLetter(token[1]) || token[1] == '?') &&
	       (token[2] == '\0' || token[2] == ':');
}

// Sets what one option asks for; *cursor is left at what is wrong.
static Intake TakeOption(LPSTR *cursor)
{
	const LPSTR option = *cursor;
	const CHAR letter = option[1] == '?' ? '?' : (CHAR)(option[1] | 0x20);
	if (letter == 't') {
		if (option[2] == '\0' || option[3] == '\0')
			return MISSING_TIME;
		*cursor = option + 3;
		return ReadSeconds(*cursor, &BoundMs) ? TAKEN_FILE : BAD_TIME;
	}
	if (option[2] != '\0')
		return UNKNOWN_OPTION;
	if (letter == 'p')
		EndIfPresent = TRUE;
	else if (letter == 'c')
		EndIfComplete = TRUE;
	else
		return letter == '?' ? ASKED_USAGE : UNKNOWN_OPTION;
	return TAKEN_FILE;
}

Intake TakeArguments(LPSTR *cursor)
{
	EndIfPresent = EndIfComplete = FALSE;
	BoundMs = NO_BOUND;
	TakeToken(cursor, ARG_TOKEN_FLAGS);
	for (;;) {
		while (IsBlank(**cursor))
			(*cursor)++;
		if (**cursor != '/')
			break;
		const LPSTR token = *cursor;
		const LPSTR rest = CutToken(token, ARG_TOKEN_FLAGS);
		if (!IsOption(token))
			return TAKEN_FILE;  // a path, cut in place already
		const Intake taken = TakeOption(cursor);
		if (taken != TAKEN_FILE)
			return taken;
		*cursor = rest;
	}
	CutToken(*cursor, ARG_TOKEN_FLAGS);
	return TAKEN_FILE;
}
