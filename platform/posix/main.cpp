// main.cpp - the Linux start-up: keep argv, then enter the program.
#include "commandline.h"

extern "C" void StartProgram(void);

int main(int argc, char **argv)
{
	KeepArguments(argc, argv);
	StartProgram();
	return 0;
}
