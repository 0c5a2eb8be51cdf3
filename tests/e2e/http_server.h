// A small HTTP server on 127.0.0.1 for end-to-end tests: answers every GET with one body.
#ifndef TOLVARINE_TESTS_E2E_HTTP_SERVER_H_
#define TOLVARINE_TESTS_E2E_HTTP_SERVER_H_

#include <atomic>
#include <string>
#include <thread>

namespace testing_support {

class LocalHttpServer {
 public:
  /// Starts serving `body` on a free loopback port; stops when destroyed.
  explicit LocalHttpServer(std::string body);
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;
  ~LocalHttpServer();
  std::string Url(const std::string& path) const;
  int requests() const { return requests_; }

 private:
  void Serve();
  std::string body_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<int> requests_{0};
  std::thread thread_;
};

}  // namespace testing_support

#endif  // TOLVARINE_TESTS_E2E_HTTP_SERVER_H_
