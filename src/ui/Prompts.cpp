#include "ui/Prompts.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include <sstream>
#include <vector>

#include "core/SafeReplace.h"
#include "ui/ExtractPIDsDialog.h"

namespace tessaro {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, separator)) parts.push_back(part);
  return parts;
}

}  // namespace

std::string QtNameFilters(const std::string& filter) {
  const std::vector<std::string> parts = Split(filter, '|');
  std::string out;
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string patterns;
    for (const std::string& pattern : Split(parts[i + 1], ';')) {
      if (!patterns.empty()) patterns += ' ';
      patterns += pattern == "*.*" ? "*" : pattern;
    }
    if (!out.empty()) out += ";;";
    out += parts[i] + " (" + patterns + ")";
  }
  return out;
}

void TQtPrompts::ShowMessage(const std::string& text) {
  QMessageBox::information(parent_, QApplication::applicationName(), Q(text));
}

void TQtPrompts::ShowInformation(const std::string& caption, const std::string& text) {
  QMessageBox::information(parent_, Q(caption), Q(text));
}

std::optional<std::string> TQtPrompts::InputQuery(const std::string& caption, const std::string& prompt,
                                                  const std::string& initial) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent_, Q(caption), Q(prompt), QLineEdit::Normal, Q(initial), &ok);
  if (!ok) return std::nullopt;
  return text.toStdString();
}

bool TQtPrompts::Confirm(const std::string& text) {
  return QMessageBox::question(parent_, QApplication::applicationName(), Q(text),
                               QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

bool TQtPrompts::AskYesNo(const std::string& text) {
  return QMessageBox::question(parent_, QApplication::applicationName(), Q(text), QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

int TQtPrompts::RunDialog(QDialog& dialog) { return dialog.exec(); }

std::string TQtPrompts::OpenFileName(const std::string& filter) {
  // The filter's own description is shown; Qt's pattern list stays hidden.
  return QFileDialog::getOpenFileName(parent_, QString(), QString(), Q(QtNameFilters(filter)), nullptr,
                                      QFileDialog::HideNameFilterDetails)
      .toStdString();
}

std::string TQtPrompts::SaveFileName(const std::string& filter) {
  // The replace question is the caller's own.
  return QFileDialog::getSaveFileName(parent_, QString(), QString(), Q(QtNameFilters(filter)), nullptr,
                                      QFileDialog::HideNameFilterDetails | QFileDialog::DontConfirmOverwrite)
      .toStdString();
}

bool TQtPrompts::ExecuteExtractPIDs(const std::vector<int32_t>& seenPIDs, std::vector<uint16_t>& chosen) {
  return tessaro::ExecuteExtractPIDs(parent_, *this, seenPIDs, chosen);
}

std::string ReplaceQuestion(const std::string& file) {
  return "The file " + file + " already exists. Do you want to raplace it?";
}

std::string AskOutputFile(TPrompts& prompts, const std::string& filter, const std::string& stream) {
  const std::string fileName = prompts.SaveFileName(filter);
  if (fileName.empty()) return {};
  // Files are told apart by device and inode, so a link to the stream is the stream.
  const std::optional<TFileIdentity> output = FileIdentityOf(fileName);
  if (output && output == FileIdentityOf(stream)) {
    prompts.ShowMessage(kOutputIsInput);
    return {};
  }
  if (output && !prompts.Confirm(ReplaceQuestion(fileName))) return {};
  return fileName;
}

}  // namespace tessaro
