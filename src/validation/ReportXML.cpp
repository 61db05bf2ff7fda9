#include "validation/ReportXML.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <exception>

#include "core/Diagnostics.h"
#include "core/SafeReplace.h"
#include "validation/ReportNames.h"

namespace tessaro {
namespace {

void AppendUTF8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// One character of element text. XML 1.0 has no form at all for most C0
// controls: they become U+FFFD. Line ends are written as references so that
// every element stays on its line.
void AppendCharacter(std::string& out, uint32_t code) {
  switch (code) {
    case '&':
      out += "&amp;";
      return;
    case '<':
      out += "&lt;";
      return;
    case '>':
      out += "&gt;";
      return;
    case '"':
      out += "&quot;";
      return;
    case '\'':
      out += "&apos;";
      return;
    case '\r':
      out += "&#13;";
      return;
    case '\n':
      out += "&#10;";
      return;
    default:
      break;
  }
  AppendUTF8(out, code < 0x20 && code != '\t' ? 0xFFFD : code);
}

// The length of the well-formed UTF-8 sequence at text[i] (2 to 4), or 0.
size_t UTF8SequenceAt(const std::string& text, size_t i, uint32_t& code) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  size_t length = 0;
  uint32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    minimum = 0x10000;
  } else {
    return 0;
  }
  code = lead & (0x7Fu >> length);
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3Fu);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

// False with errno set when not every byte was written.
bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string XMLTextFromLatin1(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) AppendCharacter(out, static_cast<unsigned char>(c));
  return out;
}

std::string XMLTextFromFileName(const std::string& fileName) {
  std::string out;
  out.reserve(fileName.size());
  for (size_t i = 0; i < fileName.size();) {
    uint32_t code = 0;
    const size_t length = UTF8SequenceAt(fileName, i, code);
    if (length == 0) {
      AppendCharacter(out, static_cast<unsigned char>(fileName[i]));
      ++i;
    } else {
      AppendUTF8(out, code);
      i += length;
    }
  }
  return out;
}

std::vector<std::string> ReportXMLLines(const std::string& mediaFileName, const std::vector<TCustomReport>& reports) {
  std::vector<std::string> lines{
      R"(<?xml version="1.0" encoding="utf-8"?>)",
      "<MEDIA_VALIDATION_REPORT>",
      "  <MEDIA_VALIDATION_REPORT_HEADER_SECTION>",
      "    <FILE_NAME>" + XMLTextFromFileName(mediaFileName) + "</FILE_NAME>",
      "    <LIST_ITEMS_COUNT>" + std::to_string(reports.size()) + "</LIST_ITEMS_COUNT>",
      "    <MODULE_NAME>" + XMLTextFromLatin1(reports.empty() ? "" : ModuleName(reports.front().ModuleId)) +
          "</MODULE_NAME>",
      "  </MEDIA_VALIDATION_REPORT_HEADER_SECTION>",
      "  <REPORT_SECTION>",
  };
  lines.reserve(lines.size() + 5 * reports.size() + 2);
  for (size_t i = 0; i < reports.size(); ++i) {
    const TCustomReport& report = reports[i];
    lines.push_back("  <REPORT INDEX=\"" + std::to_string(i) + "\">");
    lines.push_back("    <MODULE_ID>" + std::to_string(report.ModuleId) + "</MODULE_ID>");
    lines.push_back("    <REPORT_TYPE>" + XMLTextFromLatin1(ReportTypeName(report.ReportType)) + "</REPORT_TYPE>");
    lines.push_back("    <REPORT_MESSAGE>" + XMLTextFromLatin1(report.Message) + "</REPORT_MESSAGE>");
    lines.push_back("  </REPORT>");
  }
  lines.push_back("  </REPORT_SECTION>");
  lines.push_back("</MEDIA_VALIDATION_REPORT>");
  return lines;
}

std::optional<std::string> SaveReportXML(const std::string& fileName, const std::string& mediaFileName,
                                         const std::vector<TCustomReport>& reports) {
  const auto cannotWrite = [&fileName](int error) {
    DebugOutput("zrk: Error in TMediaValidationForm.SaveReportXML - cannot write " + fileName + ".");
    return "Cannot write " + fileName + ": " + std::strerror(error);
  };
  try {
    if (reports.empty()) return std::string(kReportListEmpty);
    TReplacement replacement(fileName);
    const int fd = replacement.Create();
    if (fd < 0) return cannotWrite(errno);
    std::string text;
    for (const std::string& line : ReportXMLLines(mediaFileName, reports)) text += line + "\r\n";
    // The first failure is the one to tell; close and rename come after it.
    int error = WriteAll(fd, text) ? 0 : errno;
    if (error == 0 && !replacement.Direct() && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && !replacement.Commit()) error = errno;
    if (error != 0) return cannotWrite(error);
    return std::nullopt;
  } catch (const std::exception& e) {
    ReportRoutineFailure("TMediaValidationForm.SaveReportXML", e.what());
    return "Cannot write " + fileName + ": " + e.what();
  } catch (...) {
    ReportRoutineFailure("TMediaValidationForm.SaveReportXML");
    return "Cannot write " + fileName + ": unknown failure";
  }
}

}  // namespace tessaro
