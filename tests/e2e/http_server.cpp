#include "e2e/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace testing_support {

LocalHttpServer::LocalHttpServer(std::string body) : body_(std::move(body)) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      listen(listener_, 8) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ADD_FAILURE() << "cannot listen on the loopback address";
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LocalHttpServer::~LocalHttpServer() {
  // Shutting the listener down wakes the accept, which then ends the loop.
  if (listener_ >= 0) shutdown(listener_, SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
  if (listener_ >= 0) close(listener_);
}

std::string LocalHttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void LocalHttpServer::Serve() {
  for (;;) {
    int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return;
    ++requests_;
    // Read the request up to its blank line; the answer is the same whatever was asked.
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      ssize_t got = read(connection, buffer, sizeof buffer);
      if (got <= 0) break;
      request.append(buffer, static_cast<std::size_t>(got));
    }
    std::string answer = "HTTP/1.0 200 OK\r\nContent-Type: application/zip\r\nContent-Length: " +
                         std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
    for (std::size_t sent = 0; sent < answer.size();) {
      ssize_t put = write(connection, answer.data() + sent, answer.size() - sent);
      if (put <= 0) break;
      sent += static_cast<std::size_t>(put);
    }
    close(connection);
  }
}

}  // namespace testing_support
