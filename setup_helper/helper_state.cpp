// The helper's program-wide state, in one place. Static storage: every value is zero (empty
// text) when the program is loaded; nothing here runs a constructor.
#include "platform/win32api.h"
#include "setup_helper/helper.h"

CHAR CommandLineCopy[HELPER_TEXT_SIZE];
LONG ActionCode;
CHAR DeviceModel[HELPER_TEXT_SIZE];
CHAR DeviceSerial[HELPER_TEXT_SIZE];
CHAR ModelKeyPath[HELPER_TEXT_SIZE];
LONG ErrorCode;
LONG DialogCode;
LONG AbortFlag;
CHAR SetupRoot[HELPER_TEXT_SIZE];
CHAR SetupProgramPath[HELPER_TEXT_SIZE];
CHAR SetupParameterString[PARAMETER_STRING_SIZE];
