// A loopback HTTP server for the update check's tests (Qt, header only): it
// answers every request with one canned response, or accepts and never
// answers. It serves from the event loop of the thread that made it.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <map>
#include <string>

namespace tessaro::test {

class LoopbackHttpServer {
 public:
  LoopbackHttpServer() {
    // Loopback requests must not go through a proxy the environment names.
    for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
      qunsetenv(name);
    server_.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) Accept(socket);
    });
  }

  void Serve(const QByteArray& body, int status = 200) {
    body_ = body;
    status_ = status;
    silent_ = false;
  }
  // Takes the request and keeps the connection open without a word.
  void Silent() { silent_ = true; }
  std::string Url() const { return "http://127.0.0.1:" + std::to_string(server_.serverPort()) + "/download/ver.txt"; }
  // Makes the update check ask here.
  void Use() const { qputenv("TESSARO_UPDATE_URL", QByteArray::fromStdString(Url())); }
  int Requests() const { return requests_; }

 private:
  void Accept(QTcpSocket* socket) {
    socket->setParent(&server_);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
      QByteArray& request = pending_[socket];
      request += socket->readAll();
      if (!request.contains("\r\n\r\n")) return;
      pending_.erase(socket);
      ++requests_;
      if (silent_) return;
      QByteArray response = "HTTP/1.1 " + QByteArray::number(status_) + " Canned\r\nContent-Type: text/plain\r\n";
      response += "Content-Length: " + QByteArray::number(body_.size()) + "\r\nConnection: close\r\n\r\n";
      socket->write(response + body_);
      socket->disconnectFromHost();
    });
  }

  QTcpServer server_;
  QByteArray body_;
  int status_ = 200;
  bool silent_ = false;
  int requests_ = 0;
  std::map<QTcpSocket*, QByteArray> pending_;
};

// Runs the event loop until done() holds or the time is up; false on time-out.
inline bool SpinUntil(const std::function<bool()>& done, int milliseconds = 10000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > milliseconds) return false;
    QEventLoop wait;
    QTimer::singleShot(10, &wait, &QEventLoop::quit);
    wait.exec();
  }
  return true;
}

}  // namespace tessaro::test
