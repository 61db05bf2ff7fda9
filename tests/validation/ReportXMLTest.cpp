// The XML report: its lines in order, texts escaped and in UTF-8, and a file
// that is replaced only by a whole report. (The file's CR LF line ends are
// checked where the window and the command line save it.)
#include <gtest/gtest.h>

#include <fstream>

#include "support/TestSupport.h"
#include "validation/ReportNames.h"
#include "validation/ReportXML.h"

namespace tessaro {
namespace {

TEST(ReportXML, LinesInOrderWithTheFirstReportsModuleAndIndexFromZero) {
  const std::vector<TCustomReport> reports{{6, kReportInfo, "one"}, {4, kReportError, "two"}};
  const std::vector<std::string> expected{
      R"(<?xml version="1.0" encoding="utf-8"?>)",
      "<MEDIA_VALIDATION_REPORT>",
      "  <MEDIA_VALIDATION_REPORT_HEADER_SECTION>",
      "    <FILE_NAME>/streams/a.ts</FILE_NAME>",
      "    <LIST_ITEMS_COUNT>2</LIST_ITEMS_COUNT>",
      "    <MODULE_NAME>QuickTime/MP4 Validator</MODULE_NAME>",
      "  </MEDIA_VALIDATION_REPORT_HEADER_SECTION>",
      "  <REPORT_SECTION>",
      "  <REPORT INDEX=\"0\">",
      "    <MODULE_ID>6</MODULE_ID>",
      "    <REPORT_TYPE>Info</REPORT_TYPE>",
      "    <REPORT_MESSAGE>one</REPORT_MESSAGE>",
      "  </REPORT>",
      "  <REPORT INDEX=\"1\">",
      "    <MODULE_ID>4</MODULE_ID>",
      "    <REPORT_TYPE>Error</REPORT_TYPE>",
      "    <REPORT_MESSAGE>two</REPORT_MESSAGE>",
      "  </REPORT>",
      "  </REPORT_SECTION>",
      "</MEDIA_VALIDATION_REPORT>",
  };
  EXPECT_EQ(ReportXMLLines("/streams/a.ts", reports), expected);
}

TEST(ReportXML, TextsAreEscapedAsUTF8) {
  // Report texts are Latin-1: 0xE9 is "é". Controls XML cannot hold become U+FFFD;
  // line ends become references, so an element stays on its line.
  EXPECT_EQ(XMLTextFromLatin1("a<b & c>\"d\" 'e' \xE9\x01\r\n\t"),
            "a&lt;b &amp; c&gt;&quot;d&quot; &apos;e&apos; \xC3\xA9\xEF\xBF\xBD&#13;&#10;\t");
  // A file name is this system's UTF-8; a byte that is not UTF-8 is Latin-1.
  EXPECT_EQ(XMLTextFromFileName("/m\xC3\xBCsic/<a>\xE9.ts"), "/m\xC3\xBCsic/&lt;a&gt;\xC3\xA9.ts");
  EXPECT_EQ(XMLTextFromFileName("\xED\xA0\x80\xC0\xAF"),
            "\xC3\xAD\xC2\xA0\xC2\x80\xC3\x80\xC2\xAF");  // no surrogates, no overlong forms
}

// An existing file is replaced by a whole report, through a temporary file
// that does not stay; a report that cannot be written says where and why.
TEST(ReportXML, AReportReplacesAFileWholeOrSaysWhyItCannot) {
  test::TempDir folder;
  std::ofstream(folder.Path("r.xml")) << "old";
  EXPECT_EQ(SaveReportXML(folder.Path("r.xml"), "/s.ts", {}), std::string(kReportListEmpty));
  EXPECT_EQ(test::ReadLines(folder.Path("r.xml")), std::vector<std::string>{"old"});
  EXPECT_EQ(SaveReportXML(folder.Path("r.xml"), "/s.ts", {{4, kReportInfo, "m"}}), std::nullopt);
  EXPECT_EQ(test::ReadLines(folder.Path("r.xml")).size(), 15u);
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"r.xml"});
  EXPECT_EQ(SaveReportXML("/nonexistent/r.xml", "/s.ts", {{4, kReportInfo, "m"}}),
            "Cannot write /nonexistent/r.xml: No such file or directory");
}

}  // namespace
}  // namespace tessaro
