#include "cli/commands.h"

namespace tolvex {
namespace {
int g_exitCode = 0;
}

int CommandExitCode() { return g_exitCode; }
void SetCommandExitCode(int code) { g_exitCode = code; }

}  // namespace tolvex
