#pragma once

namespace quillet {

// The program: reads the command line, creates the state, shows the main
// window and runs until it is closed, then releases the state. Returns the
// process exit code.
int StartProgram(int argc, char** argv);

}  // namespace quillet
