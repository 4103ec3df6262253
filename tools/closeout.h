#ifndef TOOLS_CLOSEOUT_H_
#define TOOLS_CLOSEOUT_H_

// Output that did not reach standard output is a failure of the tool.

namespace tools {

// Flushes and closes standard output; false, with a message on standard
// error naming the tool, when anything written to it was lost.
bool closestdout(const char* tool);

}  // namespace tools

#endif  // TOOLS_CLOSEOUT_H_
