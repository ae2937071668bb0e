#include "tools/lab/commands.h"
namespace lab {
int RunDemo(const DemoOptions&) {
    return 1;
}
} // namespace lab
