// The command line tail WinMain gets: the program name skipped, quoted or not, then every
// character of code 0x20 or below.
#include "common/command_line_tail.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

namespace as_text {

// The tail of a copy of the line, as a string, so that the checks compare text.
std::string CommandLineTail(const std::string& commandLine) {
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    return ::CommandLineTail(line.data());
}

} // namespace as_text

TEST(CommandLineTail, SkipsTheProgramNameQuotedOrNotAndTheBlanksAfterIt) {
    using as_text::CommandLineTail;
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
