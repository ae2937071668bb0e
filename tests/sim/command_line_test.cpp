// The command line tail WinMain gets: the program name skipped, quoted or not, then every
// character of code 0x20 or below.
#include "platform/sim/command_line.h"

#include <gtest/gtest.h>

namespace {

TEST(CommandLineTail, SkipsTheProgramNameQuotedOrNotAndTheBlanksAfterIt) {
    using vtxsim::CommandLineTail;
    EXPECT_EQ(CommandLineTail("vtxinh01.exe -action=2"), "-action=2");
    EXPECT_EQ(CommandLineTail("\"C:\\Program Files\\vtxinh01.exe\" -action=2 -model=A B"),
              "-action=2 -model=A B");
    EXPECT_EQ(CommandLineTail("\"C:\\a b.exe\"-action=2"), "-action=2");
    EXPECT_EQ(CommandLineTail("prog \t\r\n\x01\x1F -x"), "-x");
    EXPECT_EQ(CommandLineTail("prog -a  "), "-a  ") << "trailing blanks stay";
    EXPECT_EQ(CommandLineTail("prog"), "");
    EXPECT_EQ(CommandLineTail("\"unterminated name -x"), "");
    EXPECT_EQ(CommandLineTail(""), "");
}

} // namespace
