#include "app/program.h"

int main(int argc, char** argv) { return quillet::StartProgram(argc, argv); }
