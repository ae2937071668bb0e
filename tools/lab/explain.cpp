#include "tools/lab/commands.h"
namespace lab {
int RunExplain(const ExplainOptions&) {
    return 1;
}
} // namespace lab
