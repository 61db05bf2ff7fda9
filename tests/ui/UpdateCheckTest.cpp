// The window's update check through the prompts, against a loopback server:
// the timer fires once and a newer version is offered, the option off fetches
// nothing, and toggling the Help item is kept by the settings. This test
// program carries a version block of its own, so it is the program compared
// (its file name, ui_tests, is the key).
#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QTimer>

#include "support/LoopbackHttpServer.h"
#include "ui/UiSupport.h"
#include "ui/UpdateCheck.h"
#include "update/PublishedVersionFetch.h"

namespace tessaro {
namespace {

using test::SpinUntil;

constexpr const char* kQuestion =
    "A new version of Tessaro is available on tessaro.example. Do you want to update to the latest version?";

// A window whose update check waits 20 ms instead of 10 s and opens no browser.
struct UpdateWindow {
  test::TScriptedPrompts::TScript script;
  std::unique_ptr<TForm1> form;
  std::vector<std::string> opened;

  UpdateWindow() {
    form = std::make_unique<TForm1>(std::make_unique<test::TScriptedPrompts>(script));
    form->UpdateCheck().Timer()->setInterval(20);
    form->UpdateCheck().Fetch().SetTimeout(1000);
    form->UpdateCheck().SetUrlOpener([this](const std::string& url) { opened.push_back(url); });
    form->LoadRegistrySettings();
    form->show();
  }
  // Until the question is asked (and a little longer, for a second one that must not come).
  void Settle() {
    SpinUntil([&] { return !script.messages.empty(); }, 3000);
    SpinUntil([] { return false; }, 100);
  }
};

class UpdateCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::IsolateSettings();
    server.Use();
  }
  test::LoopbackHttpServer server;
};

TEST_F(UpdateCheckTest, TheTimerFiresOnceAndANewerVersionIsOffered) {
  server.Serve("viewer;1.0.0.0\r\nui_tests;99.0.0.0\r\n");
  for (const bool yes : {true, false}) {
    UpdateWindow w;
    w.script.yesNo = {yes};
    w.Settle();
    EXPECT_FALSE(w.form->UpdateCheck().Timer()->isActive());
    EXPECT_EQ(w.script.messages, std::vector<std::string>{kQuestion});
    EXPECT_EQ(w.opened, yes ? std::vector<std::string>{DownloadPageUrl()} : std::vector<std::string>{});
  }
  EXPECT_EQ(server.Requests(), 2);
}

TEST_F(UpdateCheckTest, NoNewerVersionOrNoAnswerShowsNothing) {
  for (const QByteArray& list : {QByteArray("ui_tests;1.0.0.0\r\n"), QByteArray()}) {
    if (list.isEmpty())
      server.Silent();
    else
      server.Serve(list);
    const int before = server.Requests();
    UpdateWindow w;
    // The request, then time for an answer and a question that must not come.
    EXPECT_TRUE(SpinUntil([&] { return server.Requests() > before; }, 3000));
    SpinUntil([] { return false; }, 300);
    EXPECT_TRUE(w.script.messages.empty()) << list.toStdString();
  }
  EXPECT_EQ(server.Requests(), 2);
}

TEST_F(UpdateCheckTest, TheQuestionWaitsForAnOpenDialogToClose) {
  server.Serve("ui_tests;99.0.0.0\r\n");
  UpdateWindow w;
  QDialog dialog(w.form.get());
  dialog.setModal(true);
  dialog.show();
  SpinUntil([&] { return server.Requests() > 0; }, 3000);
  SpinUntil([] { return false; }, 300);
  EXPECT_TRUE(w.script.messages.empty());
  dialog.close();
  w.Settle();
  EXPECT_EQ(w.script.messages, std::vector<std::string>{kQuestion});
}

TEST_F(UpdateCheckTest, WithTheOptionOffTheItemIsUncheckedAndNothingIsFetched) {
  QSettings("Quindel", "Tessaro").setValue("CheckForUpdates", 0);
  server.Serve("ui_tests;99.0.0.0\r\n");
  UpdateWindow w;
  EXPECT_FALSE(w.form->CheckForUpdatesItem()->isChecked());
  EXPECT_FALSE(w.form->UpdateCheck().Timer()->isActive());
  SpinUntil([] { return false; }, 300);
  EXPECT_EQ(server.Requests(), 0);
  EXPECT_TRUE(w.script.messages.empty());
}

TEST_F(UpdateCheckTest, TogglingTheItemIsSavedOnClose) {
  server.Silent();
  for (const int stored : {0, 1}) {
    UpdateWindow w;
    w.form->CheckForUpdatesItem()->trigger();
    EXPECT_EQ(w.form->CheckForUpdates(), stored == 1);
    EXPECT_EQ(w.form->CheckForUpdatesItem()->isChecked(), stored == 1);
    // A pending check is neither stopped nor started by the item.
    EXPECT_EQ(w.form->UpdateCheck().Timer()->isActive(), stored == 0);
    w.form->close();
    EXPECT_EQ(QSettings("Quindel", "Tessaro").value("CheckForUpdates").toInt(), stored);
  }
}

}  // namespace
}  // namespace tessaro
