// IsNewVersionAvailable against a loopback server started here: what is
// served and what is offered, and that a silent, missing or huge answer holds
// nothing up. The program compared is the built tessaro-cli (its file name is
// the key); tessaro-cli version --check-update runs the same check.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <tuple>

#include "support/LoopbackHttpServer.h"
#include "support/TestSupport.h"
#include "update/PublishedVersionFetch.h"
#include "version/VersionInfo.h"

namespace tessaro {
namespace {

using test::SpinUntil;

class FetchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server.Use();
    fetch.SetTimeout(1000);
  }

  // The version offered for the file, or "none".
  std::string Offered(const std::string& executable = TESSARO_CLI_PATH) {
    std::optional<TPublishedAnswer> answer;
    fetch.IsNewVersionAvailable(executable, [&](const TPublishedAnswer& newer) { answer = newer; });
    EXPECT_TRUE(SpinUntil([&] { return answer.has_value(); }));
    failure = answer ? answer->failure : "no answer";
    return answer && answer->version ? VersionText(*answer->version) : "none";
  }

  test::LoopbackHttpServer server;
  TPublishedVersionFetch fetch;
  std::string failure;  // of the last answer
};

TEST_F(FetchTest, ASilentMissingOrForeignServerAnswersNothingInTime) {
  server.Silent();
  QElapsedTimer clock;
  clock.start();
  EXPECT_EQ(Offered(), "none");
  EXPECT_LT(clock.elapsed(), 4000);
  EXPECT_EQ(server.Requests(), 1);
  EXPECT_EQ(failure, "Cannot read the published version list " + server.Url() + ": no answer within 1 s");

  int closedPort = 0;
  {
    QTcpServer gone;
    gone.listen(QHostAddress::LocalHost, 0);
    closedPort = gone.serverPort();
  }
  for (const std::string& url : {"http://127.0.0.1:" + std::to_string(closedPort) + "/download/ver.txt",
                                 std::string("file:///etc/hostname"), std::string("not a url")}) {
    qputenv("TESSARO_UPDATE_URL", QByteArray::fromStdString(url));
    EXPECT_EQ(Offered(), "none") << url;
  }
}

TEST_F(FetchTest, AHugeResponseIsReadOnlyUpToTheLimit) {
  QByteArray filler;
  while (filler.size() < (1 << 20)) filler += "viewer;1.0.0.0;a long line that fills the list up\r\n";
  QElapsedTimer clock;
  clock.start();
  server.Serve("tessaro-cli;99.0.0.0\r\n" + filler);
  EXPECT_EQ(Offered(), "99.0.0.0");
  server.Serve(filler + "tessaro-cli;99.0.0.0\r\n");
  EXPECT_EQ(Offered(), "none");
  EXPECT_LT(clock.elapsed(), 3000);
}

TEST_F(FetchTest, AProgramWithoutAVersionBlockDownloadsNothing) {
  server.Serve("one-program.ts;99.0.0.0\r\n");
  EXPECT_EQ(Offered(test::TestDataPath("one-program.ts")), "none");
  EXPECT_EQ(server.Requests(), 0);
}

// tessaro-cli version --check-update: the published version and 0, nothing
// and 1 when none is newer, the reason and 2 when the list cannot be had or read.
TEST_F(FetchTest, TheCommandLineTellsNewerNoneNewerAndFailure) {
  auto run = [&](const std::string& url) {
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TESSARO_UPDATE_URL", QString::fromStdString(url));
    cli.setProcessEnvironment(environment);
    cli.start(TESSARO_CLI_PATH, {"version", "--check-update"});
    // The server answers from this event loop while the program runs.
    EXPECT_TRUE(SpinUntil([&] { return cli.state() == QProcess::NotRunning; }));
    return std::to_string(cli.exitCode()) + " " + cli.readAllStandardOutput().toStdString() +
           cli.readAllStandardError().toStdString();
  };
  const std::string cannot = "2 Cannot read the published version list " + server.Url() + ": ";
  for (const auto& [list, status, answer] : std::vector<std::tuple<QByteArray, int, std::string>>{
           {"tessaro-cli;99.0.0.0\r\n", 200, "0 99.0.0.0\n"},
           {"tessaro-cli;" TESSARO_EXPECTED_VERSION "\r\n", 200, "1 "},
           {"tessaro-cli;99.0.0.0\r\n", 404, cannot + "HTTP status 404\n"},
           {"tessaro-cli;99.x.0.0\r\n", 200,
            cannot + "the line for tessaro-cli has no valid version: tessaro-cli;99.x.0.0\n"}}) {
    server.Serve(list, status);
    EXPECT_EQ(run(server.Url()), answer);
  }
}

}  // namespace
}  // namespace tessaro
