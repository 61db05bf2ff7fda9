// Decoded texts reach a terminal without control bytes, and a pipe byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "cli/TerminalRun.h"
#include "cli/TerminalText.h"
#include "support/Builders.h"
#include "support/TestSupport.h"

namespace tessaro {
namespace {

using test::Bytes;

// A PAT, then an SDT whose one service has the name given, as a stream file.
test::TempFile StreamWithServiceName(const Bytes& name) {
  return test::TempFile(
      test::Slots({test::SectionPacket(0x0000, test::PATSection(1, {})),
                   test::SectionPacket(0x0011, test::SDTSection(7, test::ServiceDescriptor(0x01, name))),
                   test::NullPacket(), test::NullPacket()}));
}

TEST(TerminalText, ControlBytesBecomeDotsAndLatin1BecomesUTF8) {
  EXPECT_EQ(TerminalText("A\x1B[2JZ\t\n"), "A.[2JZ\t\n");
  EXPECT_EQ(TerminalText(std::string("\x14\x1F\x7F\x80\x9F", 5)), ".....");
  EXPECT_EQ(TerminalText("caf\xE9 \xA0\xFF"), "caf\xC3\xA9 \xC2\xA0\xC3\xBF");
}

// An SDT whose service is named "A", ESC, "Z".
TEST(TerminalOutput, ServiceNameWithEscapeIsADotOnATerminalAndTheByteInAPipe) {
  const test::TempFile file = StreamWithServiceName({'A', 0x1B, 'Z'});
  const std::string arguments = "tree '" + file.Path() + "' --offset 188";

  const test::CliResult piped = test::RunCli(arguments);
  ASSERT_EQ(piped.exitCode, 0) << piped.err;
  ASSERT_NE(piped.out.find("service_name"), std::string::npos) << piped.out;
  EXPECT_NE(piped.out.find("A\x1BZ"), std::string::npos);

  const std::string shown = test::RunCliOnTerminal(arguments + " 2>/dev/null");
  ASSERT_NE(shown.find("service_name"), std::string::npos) << shown;
  EXPECT_EQ(shown.find('\x1B'), std::string::npos);
  EXPECT_NE(shown.find("A.Z"), std::string::npos);
}

// A decoded service name is UTF-8 already: a terminal gets it as it is, while
// the dump line's bytes still go through the terminal's mapping.
TEST(TerminalOutput, DecodedTextReachesATerminalAsUTF8) {
  // "Café" in the default table: a non-spacing acute accent before the e.
  const test::TempFile file = StreamWithServiceName({'C', 'a', 'f', 0xC2, 'e'});
  const std::string shown = test::RunCliOnTerminal("tree '" + file.Path() + "' --offset 188 --decoded 2>/dev/null");
  EXPECT_NE(shown.find("[Caf\u00E9]"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Caf\u00C2e"), std::string::npos) << shown;  // the dump line's 0xC2 as Latin-1
}

}  // namespace
}  // namespace tessaro
