// The Operations menu offscreen, driven through the scripted prompts: each
// command's questions, messages and files, the replace question, a cancelled
// run and a full disk; and the Extract PIDs dialog's buttons.
#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>

#include <filesystem>

#include "browser/ExtractionCommands.h"
#include "core/SafeReplace.h"
#include "support/TestSupport.h"
#include "ui/ExtractPIDsDialog.h"
#include "ui/UiSupport.h"

namespace tessaro {
namespace {

using test::Bytes;
using test::Items;
using test::TestDataPath;
using test::TWindow;
using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

constexpr const char* kPIDInput = "Extract PES from PID|Enter valid PID (0x0000-0x1FFF)|0x0000";

class OperationsTest : public ::testing::Test {
 protected:
  void SetUp() override { test::IsolateSettings(); }
  std::string Out(const std::string& name) const { return dir_.Path(name); }
  Strings Files() const { return dir_.Names(); }
  test::TempDir dir_;
};

// With no file open: the message, or for the demultiplexer nothing at all.
TEST_F(OperationsTest, WithoutAFileNoCommandAsksAnything) {
  TWindow w;
  for (QAction* action : w.form->OperationsActions()) action->trigger();
  EXPECT_EQ(w.script.messages, Strings(4, "No file loaded."));
  EXPECT_TRUE(w.script.saveFilters.empty());
}

TEST_F(OperationsTest, ExtractPIDsAsksForPIDsAndAFile) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("one-program.ts")));
  // Cancelled, then OK with nothing chosen.
  w.script.pidChoices = {std::nullopt, std::vector<uint16_t>{}};
  w.form->ExtractPIDs1Click();
  w.form->ExtractPIDs1Click();
  EXPECT_EQ(w.script.messages, Strings{"You must select at least one PID."});
  EXPECT_TRUE(w.script.saveFilters.empty());
  // The dialog is given the seen PIDs in the order they were met.
  ASSERT_EQ(w.script.pidDialogs.size(), 2u);
  EXPECT_EQ(w.script.pidDialogs[0], w.form->Browser().Seen().SeenPIDs());

  w.script.pidChoices = {std::vector<uint16_t>{0x0101}};
  w.script.saveFiles = {Out("audio.ts")};
  w.form->ExtractPIDs1Click();
  EXPECT_EQ(w.script.messages.size(), 1u) << "no message when done";
  const Bytes out = test::ReadFileBytes(Out("audio.ts"));
  ASSERT_FALSE(out.empty());
  for (size_t at = 0; at < out.size(); at += 188) EXPECT_EQ(((out[at + 1] & 0x1F) << 8) | out[at + 2], 0x0101);
}

TEST_F(OperationsTest, TheReplaceQuestionAnsweredCancelLeavesTheFileAlone) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("one-program.ts")));
  test::TempFile existing({9, 9, 9});
  w.script.inputs = {"0x0100", "0x0100"};
  w.script.saveFiles = {existing.Path(), existing.Path()};
  w.script.confirms = {false, true};
  w.form->ExtractESfromPID1Click();
  const std::string question = "The file " + existing.Path() + " already exists. Do you want to raplace it?";
  EXPECT_EQ(w.script.messages, Strings{question});
  EXPECT_EQ(test::ReadFileBytes(existing.Path()), (Bytes{9, 9, 9}));
  // OK: the command writes it anew.
  w.form->ExtractESfromPID1Click();
  EXPECT_EQ(w.script.messages, (Strings{question, question, "Done"}));
  EXPECT_GT(fs::file_size(existing.Path()), 3u);
}

TEST_F(OperationsTest, TheOpenStreamIsNeverAnOutputByAnyName) {
  const std::string input = Out("input.ts");
  fs::copy_file(TestDataPath("one-program.ts"), input);
  const Bytes original = test::ReadFileBytes(input);
  fs::create_hard_link(input, Out("hard.ts"));
  fs::create_symlink(input, Out("soft.ts"));
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(input));
  w.script.inputs = {"0x0100", "0x0100", "1"};
  w.script.saveFiles = {input, Out("hard.ts"), Out("soft.ts")};
  w.script.confirms = {true, true, true};
  w.form->ExtractESfromPID1Click();
  w.form->ExtractPES1Click();
  w.form->Extractprogram1Click();
  // Refused before the replace question is asked.
  EXPECT_EQ(w.script.messages, Strings(3, kOutputIsInput));
  EXPECT_EQ(w.script.confirms.size(), 3u) << "no question was asked";
  EXPECT_EQ(test::ReadFileBytes(input), original);
  EXPECT_EQ(Files(), (Strings{"hard.ts", "input.ts", "soft.ts"}));
}

TEST_F(OperationsTest, ExtractPESAndESCheckTheTypedPID) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("one-program.ts")));
  w.script.inputs = {"0x01g0", std::nullopt};
  for (int i = 0; i < 2; ++i) w.form->ExtractPES1Click();
  EXPECT_EQ(w.script.inputCalls, Strings(2, kPIDInput));
  EXPECT_EQ(w.script.messages, Strings{"0x01g0 is invalid PID."});
  EXPECT_TRUE(w.script.saveFilters.empty());
  w.script.messages.clear();
  // PES ends without a message, ES with "Done"; a save dialog left with Cancel writes nothing.
  w.script.inputs = {"0x0101", "0x0101", "0x0101"};
  w.script.saveFiles = {Out("a.pes"), "", Out("a.es")};
  w.form->ExtractPES1Click();
  w.form->ExtractESfromPID1Click();
  w.form->ExtractESfromPID1Click();
  EXPECT_EQ(w.script.messages, Strings{"Done"});
  EXPECT_EQ(Files(), (Strings{"a.es", "a.pes"}));
}

TEST_F(OperationsTest, ExtractProgramChecksTheNumberAndSaysWhenThereIsNoPMT) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("two-programs.ts")));
  w.script.inputs = {"two", "0", "65536", "3", "2"};
  w.script.saveFiles = {Out("p3.ts"), Out("p2.ts")};
  for (int i = 0; i < 5; ++i) w.form->Extractprogram1Click();
  EXPECT_EQ(w.script.inputCalls[0], "Extract program|Enter program number (1-65535)|0");
  EXPECT_EQ(w.script.messages, (Strings{"two is invalid program number.", "0 is out of range.",
                                        "65536 is out of range.", "PMT not found.", "Done"}));
  // The program that is not there leaves no file.
  EXPECT_EQ(Files(), Strings{"p2.ts"});
}

TEST_F(OperationsTest, DemultiplexWritesPerPIDFilesWithoutAsking) {
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(TestDataPath("one-program.ts")));
  test::TempFile stale({1});
  fs::copy_file(stale.Path(), Out("out.$0100"));
  w.script.saveFiles = {Out("out.ts"), Out("es.ts"), ""};
  w.form->Demux1Click();
  w.form->DemultiplextoES1Click();
  w.form->Demux1Click();
  EXPECT_EQ(w.script.messages, (Strings{"Done", "Done"}));
  EXPECT_EQ(Files(), (Strings{"es.$0000", "es.$0011", "es.$0100", "es.$0101", "es.$1000", "es.$1FFF", "out.$0000",
                              "out.$0011", "out.$0100", "out.$0101", "out.$1000", "out.$1FFF"}));
  EXPECT_GT(fs::file_size(Out("out.$0100")), fs::file_size(Out("es.$0100")));
}

TEST_F(OperationsTest, ACancelledRunRemovesItsOutputAndAFullDiskIsNoSuccess) {
  test::TempFile big(test::Slots(std::vector<Bytes>(20 * 1024 * 1024 / 188, test::MakePacket({.pid = 0x0100}))));
  TWindow w;
  ASSERT_TRUE(w.form->LoadFile(big.Path()));
  w.form->SetProgressDelay(0);
  bool dialogSeen = false;
  test::CancelProgressWhenShown(*w.form, dialogSeen);
  w.script.saveFiles = {Out("d.ts")};
  w.form->Demux1Click();
  EXPECT_TRUE(dialogSeen);
  EXPECT_EQ(w.script.messages, Strings{kExtractionCancelled});
  EXPECT_TRUE(Files().empty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // /dev/full exists: the replace question, then a write that fails.
  w.script.messages.clear();
  w.script.inputs = {"0x0100"};
  w.script.saveFiles = {"/dev/full"};
  w.script.confirms = {true};
  w.form->ExtractESfromPID1Click();
  ASSERT_EQ(w.script.messages.size(), 2u);
  EXPECT_EQ(w.script.messages[1], "Cannot write file /dev/full: No space left on device");
  EXPECT_TRUE(fs::exists("/dev/full"));
}

// ---- The Extract PIDs dialog ---------------------------------------------------------------

TEST_F(OperationsTest, DialogAddRemoveClearAndOK) {
  test::TScriptedPrompts::TScript script;
  test::TScriptedPrompts prompts(script);
  const std::vector<int32_t> seen{0x0011, 0x0000, 0x1FFF, 0x0100};
  std::vector<uint16_t> result{0x0999};
  TForm2 form(prompts, seen, result);
  form.show();
  EXPECT_EQ(form.windowTitle().toStdString(), "Extract PIDs");
  EXPECT_EQ(Items(form.lboxSeenPIDs), (Strings{"0x0011", "0x0000", "0x1fff", "0x0100"}));

  form.btnAddClick();  // nothing selected
  EXPECT_TRUE(Items(form.lboxPIDsToExtract).empty());
  form.lboxSeenPIDs->setCurrentRow(3);
  form.btnAddClick();
  form.btnAddClick();  // already there
  form.lboxSeenPIDs->setCurrentRow(0);
  emit form.lboxSeenPIDs->itemDoubleClicked(form.lboxSeenPIDs->item(0));
  form.lboxSeenPIDs->setCurrentRow(2);
  form.btnAdd->click();
  EXPECT_EQ(Items(form.lboxPIDsToExtract), (Strings{"0x0100", "0x0011", "0x1fff"}));
  form.lboxPIDsToExtract->setCurrentRow(1);
  form.btnRemoveClick();
  EXPECT_EQ(Items(form.lboxPIDsToExtract), (Strings{"0x0100", "0x1fff"}));
  emit form.lboxPIDsToExtract->itemDoubleClicked(form.lboxPIDsToExtract->item(1));
  form.lboxPIDsToExtract->setCurrentRow(0);
  form.btnRemove->click();
  EXPECT_TRUE(Items(form.lboxPIDsToExtract).empty());
  form.lboxSeenPIDs->setCurrentRow(1);
  form.btnAddClick();
  form.btnClear->click();
  EXPECT_TRUE(Items(form.lboxPIDsToExtract).empty());

  // OK: the list in its own order, the old result replaced.
  for (int row : {2, 1}) {
    form.lboxSeenPIDs->setCurrentRow(row);
    form.btnAddClick();
  }
  form.btnOK->click();
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(result, (std::vector<uint16_t>{0x1FFF, 0x0000}));
  EXPECT_TRUE(script.messages.empty());
}

TEST_F(OperationsTest, DialogCustomPIDRefusesABadOne) {
  test::TScriptedPrompts::TScript script;
  test::TScriptedPrompts prompts(script);
  std::vector<uint16_t> result;
  TForm2 form(prompts, {}, result);
  script.inputs = {"0x 0100", std::nullopt, "0x01aB", "0x01AB"};
  for (size_t i = 0; i < 4; ++i) form.bbtnAddCustom->click();
  EXPECT_EQ(script.inputCalls, Strings(4, "Add custom PID|Enter valid PID (0x0000-0x1FFF)|0x0000"));
  EXPECT_EQ(script.messages, Strings{"PID must be in 0xXXXX format."});
  // A PID already there is passed over without a word.
  EXPECT_EQ(Items(form.lboxPIDsToExtract), Strings{"0x01ab"});
  form.bbtnCancel->click();
  EXPECT_EQ(form.result(), QDialog::Rejected);
  EXPECT_TRUE(result.empty());
}

}  // namespace
}  // namespace tessaro
