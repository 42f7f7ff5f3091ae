// intake.cpp - the file name from the command line.
#include "intake.h"

#include "token.h"

void TakeArgument(LPSTR *cursor)
{
	TakeToken(cursor, ARG_TOKEN_FLAGS);
	CutToken(*cursor, ARG_TOKEN_FLAGS);
}
