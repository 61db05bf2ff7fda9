// The Media Validation window offscreen, worked through the prompts as a user
// works it: Tools > Validation over the open file, start, progress, the end
// with "Done" (or the bytes that could not be read), the rows and their
// colours, Save Report to a new and to an existing file (the XML compared line
// by line and read by a real XML parser) or where it cannot be written, the
// module's own settings dialog, a finding chosen to show its packet in the
// main window, and modules that do not load.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

#include "support/TestSupport.h"
#include "ui/MainWindow.h"
#include "ui/MediaValidationForm.h"
#include "ui/UiSupport.h"
#include "validation/ReportNames.h"
#include "validation/ReportXML.h"

namespace tessaro {
namespace {

using test::TestDataPath;
using test::TWindow;

constexpr const char* kSaveFilter = "Report XML File (*.xml)|*.xml|All Files (*.*)|*.*";

TMediaValidationForm& Form(QDialog& dialog) { return static_cast<TMediaValidationForm&>(dialog); }

std::string Cell(const TMediaValidationForm& form, int row, int column, int role = Qt::DisplayRole) {
  return form.ReportView()->model()->index(row, column).data(role).toString().toStdString();
}
QVariant Background(const TMediaValidationForm& form, int row) {
  return form.ReportView()->model()->index(row, 0).data(Qt::BackgroundRole);
}

void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

// Clicks Start Validation and waits for "Done".
bool RunToDone(TMediaValidationForm& form, TWindow& w) {
  const size_t before = w.script.messages.size();
  Click(form.ValidationButton());
  return QTest::qWaitFor([&] { return w.script.messages.size() > before && w.script.messages.back() == "Done"; },
                         20000);
}

// The lines of a file written with CR LF ends, without them.
std::vector<std::string> CRLFLines(const std::string& path) {
  const test::Bytes bytes = test::ReadFileBytes(path);
  const std::string text(bytes.begin(), bytes.end());
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back("unended: " + text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

class ValidationWindowTest : public ::testing::Test {
 protected:
  // The window's own settings are neither read nor written here (clearing
  // them would race the settings tests that run beside these); the module's
  // go to a folder of this program's own.
  void SetUp() override {
    QStandardPaths::setTestModeEnabled(true);
    settingsFile_ = test::IsolateValidatorSettings();
  }
  std::string settingsFile_;
};

TEST_F(ValidationWindowTest, ARunGoesFromStartToDoneAndTheReportIsSaved) {
  TESSARO_REQUIRE_VALIDATOR_MODULE();
  TWindow w;
  EXPECT_EQ(w.form->ValidatorPath(), QCoreApplication::applicationDirPath().toStdString() + "/Pelvanor.pvm");
  // A copy: a save that went wrong must not write over the fixture.
  const test::TempFile copy(test::ReadFileBytes(TestDataPath("fault-cc-gap.ts")));
  const std::string stream = copy.Path();
  ASSERT_TRUE(w.form->LoadFile(stream));
  test::TempFile report({}, ".xml");
  std::filesystem::remove(report.Path());
  bool worked = false;
  w.script.dialogs.push_back(test::ClosedAfter([&](QDialog& dialog) {
    TMediaValidationForm& form = Form(dialog);
    EXPECT_EQ(form.windowTitle().toStdString(), "Media Validation - " + stream + " [MPEG-2 TS Validator]");
    EXPECT_EQ(form.ProgressEdit()->text().toStdString(), "Progress:");
    EXPECT_FALSE(form.ProgressEdit()->isEnabled());

    // A run ends through Stop (checked in ProgressStopRowColoursAndEscapedTexts);
    // the finding's texts are ValidateCommand's.
    ASSERT_TRUE(RunToDone(form, w));
    EXPECT_EQ(form.ProgressEdit()->text().toStdString(), "Progress: 100.00%");
    EXPECT_TRUE(form.SettingsButton()->isEnabled());
    ASSERT_EQ(form.ReportView()->model()->rowCount(), 2);
    EXPECT_EQ(Background(form, 0).value<QColor>(), QColor(0xFF, 0xCC, 0xCC));
    EXPECT_EQ(Background(form, 1).value<QColor>(), QColor(0xEE, 0xEE, 0xFF));

    // A new file: written at once.
    w.script.saveFiles = {report.Path()};
    Click(form.SaveReportButton());
    EXPECT_EQ(w.script.saveFilters.back(), kSaveFilter);
    EXPECT_EQ(w.script.messages.back(), "Done");
    const std::vector<TCustomReport> reports = form.Validation().Reports().Items();
    EXPECT_EQ(CRLFLines(report.Path()), ReportXMLLines(stream, reports));

    // An existing file: the replace question; No keeps it, Yes replaces it.
    std::ofstream(report.Path()) << "old";
    const std::string question = "The file " + report.Path() + " already exists. Do you want to raplace it?";
    w.script.saveFiles = {report.Path(), report.Path()};
    w.script.confirms = {false, true};
    Click(form.SaveReportButton());
    EXPECT_EQ(w.script.messages.back(), question);
    EXPECT_EQ(test::ReadFileBytes(report.Path()), (test::Bytes{'o', 'l', 'd'}));
    Click(form.SaveReportButton());
    EXPECT_EQ(w.script.messages.back(), "Done");
    EXPECT_EQ(w.script.messages[w.script.messages.size() - 2], question);
    EXPECT_EQ(CRLFLines(report.Path()), ReportXMLLines(stream, reports));

    // The validated stream, by its name or through a link, is never the report.
    const test::Bytes recording = test::ReadFileBytes(stream);
    const std::string link = stream + ".link";
    std::filesystem::create_symlink(stream, link);
    w.script.saveFiles = {stream, link};
    w.script.messages.clear();
    Click(form.SaveReportButton());
    Click(form.SaveReportButton());
    std::filesystem::remove(link);
    EXPECT_EQ(w.script.messages, std::vector<std::string>(2, "The output file is the open stream."));
    EXPECT_EQ(test::ReadFileBytes(stream), recording);
    worked = true;
  }));
  w.form->Validation1Click();
  EXPECT_TRUE(worked);
  EXPECT_EQ(w.script.dialogTitles.size(), 1u);
}

// The scripted test module: progress while the run holds, the user's stop,
// every report type's row and colour, a Latin-1 text shown as such, and a
// start that fails. (How the report file escapes such texts is ReportXMLTest's.)
TEST_F(ValidationWindowTest, ProgressStopRowColoursAndEscapedTexts) {
  TWindow w;
  test::TempFile script(test::Bytes{}, ".txt");
  const auto writeScript = [&](const std::string& text) { std::ofstream(script.Path(), std::ios::binary) << text; };
  const std::string special = "a <b> & \"c\" 'd' \xE9";
  writeScript("report\t6\t1\tinfo\nreport\t4\t2\twarning\nreport\t4\t3\t" + special +
              "\nreport\t4\t0\tnone\nreport\t4\t7\tseven\nhold\n");
  bool worked = false;
  w.script.dialogs.push_back(test::ClosedAfter([&](QDialog& dialog) {
    TMediaValidationForm& form = Form(dialog);
    EXPECT_EQ(form.windowTitle().toStdString(), "Media Validation - " + script.Path() + " [Scripted Validator]");
    Click(form.ValidationButton());
    EXPECT_EQ(form.ValidationButton()->text().toStdString(), "Stop Validation");
    EXPECT_FALSE(form.SettingsButton()->isEnabled());
    EXPECT_FALSE(form.CloseButton()->isEnabled());
    // Five of six lines done, then the script holds: 83.33 %.
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.ProgressEdit()->text() == "Progress: 83.33%"; }, 5000))
        << form.ProgressEdit()->text().toStdString();
    // The window cannot be closed while running, and the list stays empty:
    // there is no report to save yet.
    form.close();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.ReportView()->model()->rowCount(), 0);
    Click(form.SaveReportButton());
    EXPECT_EQ(w.script.messages.back(), kReportListEmpty);
    // Stopped, the list shows the five findings so far, and they are what is saved.
    Click(form.ValidationButton());  // Stop
    EXPECT_EQ(form.ValidationButton()->text().toStdString(), "Start Validation");
    EXPECT_TRUE(form.CloseButton()->isEnabled());
    EXPECT_FALSE(form.Timer()->isActive());
    ASSERT_EQ(form.ReportView()->model()->rowCount(), 5);
    test::TempFile stopped({}, ".xml");
    std::filesystem::remove(stopped.Path());
    w.script.saveFiles = {stopped.Path()};
    Click(form.SaveReportButton());
    EXPECT_EQ(CRLFLines(stopped.Path()), ReportXMLLines(script.Path(), form.Validation().Reports().Items()));

    writeScript("report\t6\t1\tinfo\nreport\t4\t2\twarning\nreport\t4\t3\t" + special +
                "\nreport\t4\t0\tnone\nreport\t4\t7\tseven\n");
    ASSERT_TRUE(RunToDone(form, w));
    ASSERT_EQ(form.ReportView()->model()->rowCount(), 5);
    const std::vector<std::string> types{"Info", "Warning", "Error", "None", "Unknown"};
    for (int row = 0; row < 5; ++row) {
      EXPECT_EQ(Cell(form, row, 0), std::to_string(row + 1));
      EXPECT_EQ(Cell(form, row, 2), types[static_cast<size_t>(row)]);
    }
    EXPECT_EQ(Cell(form, 0, 1), "QuickTime/MP4 Validator");
    EXPECT_EQ(Background(form, 1).value<QColor>(), QColor(0xFF, 0xFF, 0xCC));
    EXPECT_FALSE(Background(form, 3).isValid());
    EXPECT_FALSE(Background(form, 4).isValid());
    EXPECT_EQ(form.ReportView()->model()->index(2, 3).data().toString(), QString::fromLatin1(special.c_str()));

    // A run that could not read its whole file does not end with "Done". (What
    // a report that cannot be written says is ReportXML's.)
    writeScript("report\t4\t3\tpartial\nread\t1000\t5000\n");
    Click(form.ValidationButton());
    EXPECT_TRUE(QTest::qWaitFor([&] { return form.ValidationButton()->text() == "Start Validation"; }, 5000));
    EXPECT_EQ(w.script.messages.back(), "Cannot read " + script.Path() + ": only 1000 of 5000 bytes could be read");
    EXPECT_EQ(form.ReportView()->model()->rowCount(), 1);

    // A file the module cannot open: the start fails and says so.
    std::filesystem::remove(script.Path());
    Click(form.ValidationButton());
    EXPECT_EQ(w.script.messages.back(), "Cannot validate file.");
    EXPECT_EQ(form.ValidationButton()->text().toStdString(), "Start Validation");
    EXPECT_TRUE(form.SettingsButton()->isEnabled());
    worked = true;
  }));
  test::TScriptedPrompts prompts(w.script);
  EXPECT_TRUE(ShowMediaValidation(test::TestModulePath("Scripted"), script.Path(), prompts, w.form.get()));
  EXPECT_TRUE(worked);
}

TEST_F(ValidationWindowTest, ALongMessageStaysOnOneLineAndShowsWholeInItsTooltip) {
  TWindow w;
  test::TempFile script(test::Bytes{}, ".txt");
  const std::string message = "the message that goes on " + std::string(300, 'x');
  std::ofstream(script.Path(), std::ios::binary) << "report\t4\t2\t" + message + "\nreport\t4\t1\tshort\n";
  w.script.dialogs.push_back(test::ClosedAfter([&](QDialog& dialog) {
    TMediaValidationForm& form = Form(dialog);
    ASSERT_TRUE(RunToDone(form, w));
    QTableView& list = *form.ReportView();
    ASSERT_EQ(list.model()->rowCount(), 2);
    EXPECT_EQ(Cell(form, 0, 3, Qt::ToolTipRole), message);
    EXPECT_LT(list.rowHeight(0), 2 * list.fontMetrics().height());
    EXPECT_GE(list.columnWidth(3), list.fontMetrics().horizontalAdvance(QString::fromStdString(message)));
    EXPECT_GT(list.horizontalScrollBar()->maximum(), 0);
  }));
  test::TScriptedPrompts prompts(w.script);
  EXPECT_TRUE(ShowMediaValidation(test::TestModulePath("Scripted"), script.Path(), prompts, w.form.get()));
}

TEST_F(ValidationWindowTest, TheModulesSettingsDialogKeepsTheChoice) {
  TESSARO_REQUIRE_VALIDATOR_MODULE();
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("fault-pcr-gap.ts")));
  bool answered = false;
  w.script.dialogs.push_back(test::ClosedAfter([&](QDialog& dialog) {
    TMediaValidationForm& form = Form(dialog);
    // The dialog is the module's own, not the program's: it is answered where it appears.
    QTimer::singleShot(0, [&] {
      QWidget* settings = QApplication::activeModalWidget();
      ASSERT_NE(settings, nullptr);
      EXPECT_EQ(settings->windowTitle().toStdString(), "MPEG-2 TS Validator Settings");
      auto* pcr = settings->findChild<QCheckBox*>("PCR_repetition_error");
      auto* pts = settings->findChild<QSpinBox*>("PTSRepetitionLimit");
      ASSERT_TRUE(pcr != nullptr && pts != nullptr);
      EXPECT_TRUE(pcr->isChecked());
      EXPECT_EQ(pts->value(), 700);
      auto* third = settings->findChild<QGroupBox*>("ThirdPriority");
      ASSERT_NE(third, nullptr);
      EXPECT_TRUE(third->isChecked());
      third->setChecked(false);
      pcr->setChecked(false);
      pts->setValue(650);
      static_cast<QDialog*>(settings)->accept();
      answered = true;
    });
    Click(form.SettingsButton());
    ASSERT_TRUE(answered);
    ASSERT_TRUE(RunToDone(form, w));
    ASSERT_EQ(form.ReportView()->model()->rowCount(), 1);
    EXPECT_NE(Cell(form, 0, 3).find("PCR_repetition_error off"), std::string::npos) << Cell(form, 0, 3);
    EXPECT_NE(Cell(form, 0, 3).find("TDT_error off"), std::string::npos) << Cell(form, 0, 3);
  }));
  w.form->Validation1Click();
  std::ifstream in(settingsFile_);
  const std::string stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(stored.find("PCR_repetition_error=false\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("PTSRepetitionLimitMs=650\n"), std::string::npos) << stored;
  EXPECT_NE(stored.find("ThirdPriority=false\n"), std::string::npos) << stored;
}

// A finding chosen in the list, by double-click or Enter, brings the main
// window to its packet: the row selected, its tree shown, its bytes marked.
// The dialog stays open; a row that names no offset changes nothing, and an
// offset that is no packet any more gives the scroll bar's page there.
TEST_F(ValidationWindowTest, AChosenFindingShowsItsPacketInTheMainWindow) {
  TESSARO_REQUIRE_VALIDATOR_MODULE();
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("fault-cc-gap.ts")));
  const int64_t finding = 0xDFFC;
  const auto selected = [&] { return w.form->Browser().Row(w.form->SelectedRow()).Offset; };
  const auto shown = [&] { return test::ShowsPacket(*w.form, finding); };
  bool worked = false;
  w.script.dialogs.push_back(test::ClosedAfter([&](QDialog& dialog) {
    TMediaValidationForm& form = Form(dialog);
    ASSERT_TRUE(RunToDone(form, w));
    QTableView* list = form.ReportView();
    ASSERT_EQ(list->model()->rowCount(), 2);
    EXPECT_FALSE(shown());
    // A double-click as the list gets it: the first click, then the second.
    const QPoint cell = list->visualRect(list->model()->index(0, 3)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell);
    EXPECT_TRUE(shown());
    EXPECT_TRUE(dialog.isVisible());
    w.form->ShowFinding(0);
    list->setCurrentIndex(list->model()->index(1, 3));  // the summary
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(selected(), 0);
    list->setCurrentIndex(list->model()->index(0, 3));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_TRUE(shown());
    worked = true;
  }));
  w.form->Validation1Click();
  EXPECT_TRUE(worked);
  w.form->ShowFinding(finding + 1);
  EXPECT_EQ(w.form->Browser().TopOffset(), finding);
  EXPECT_EQ(selected(), finding);
}

TEST_F(ValidationWindowTest, AModuleThatDoesNotLoadShowsNothing) {
  TWindow w;
  w.form->Validation1Click();
  EXPECT_EQ(w.script.messages, std::vector<std::string>{"No file loaded."});
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("one-program.ts")));
  // Each way a module fails to load, and the line it logs, is ValidatorContract's.
  test::DebugCapture capture;
  w.form->SetValidatorPath("/nonexistent/Pelvanor.pvm");
  w.form->Validation1Click();
  EXPECT_EQ(capture.Lines(), std::vector<std::string>{"zrk: Error in TMediaValidationForm.LoadPlugin - module file "
                                                      "not found: /nonexistent/Pelvanor.pvm"});
  EXPECT_TRUE(w.script.dialogTitles.empty());
  EXPECT_EQ(w.script.messages.size(), 1u);
}

}  // namespace
}  // namespace tessaro
