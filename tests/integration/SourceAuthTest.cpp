// A false MySQL server that greets without TLS and then asks for a plugin that would carry the
// password unprotected never receives the password: the login is refused by name first.
#include <gmock/gmock.h>
#include <sys/socket.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "source/MySqlSource.h"
#include "source/MySqlTls.h"
#include "tests/integration/LoopbackSockets.h"

namespace morvane {
namespace {

using testing::HasSubstr;

constexpr char kPassword[] = "Secret-Fake-1";

// Greets as a MySQL 5.7 server without TLS, takes the login and answers it with an
// AuthSwitchRequest to `plugin`; records every byte each client sent.
class FalseServer {
 public:
  explicit FalseServer(std::string plugin) : plugin_(std::move(plugin)) {
    listener_ = test::ListenOnLoopback(port_);
    if (listener_ < 0) throw std::runtime_error("cannot listen");
    thread_ = std::thread([this] { Serve(); });
  }
  ~FalseServer() {
    shutdown(listener_, SHUT_RDWR);
    thread_.join();
    test::CloseFd(listener_);
  }
  FalseServer(const FalseServer&) = delete;
  FalseServer& operator=(const FalseServer&) = delete;

  std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
  // Everything the clients sent, in order; complete once the client has given up.
  std::string Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }
  bool SwitchSent() const { return switchSent_; }

 private:
  static std::string Packet(unsigned char sequence, const std::string& payload) {
    std::string p(4, '\0');
    p[0] = static_cast<char>(payload.size() & 0xff);
    p[1] = static_cast<char>((payload.size() >> 8) & 0xff);
    p[2] = static_cast<char>((payload.size() >> 16) & 0xff);
    p[3] = static_cast<char>(sequence);
    return p + payload;
  }
  static std::string Greeting() {
    std::string g;
    g += '\x0a';
    g += std::string("5.7.44-false") + '\0';
    g += std::string("\x01\x00\x00\x00", 4);             // thread id
    g += "abcdefgh";                                      // scramble, first part
    g += '\0';                                            // filler
    g += std::string("\x0d\xa2", 2);                      // capabilities, low: no CLIENT_SSL
    g += '\x2d';                                          // utf8mb4
    g += std::string("\x02\x00", 2);                      // status
    g += std::string("\x0b\x00", 2);                      // capabilities, high: plugin auth
    g += '\x15';                                          // scramble length 21
    g += std::string(10, '\0');
    g += std::string("ijklmnopqrst") + '\0';              // scramble, second part
    g += std::string("mysql_native_password") + '\0';
    return Packet(0, g);
  }
  // Reads one packet (or what comes before the client hangs up) into the record.
  bool ReadPacket(int fd, unsigned char& sequence) {
    unsigned char header[4];
    std::size_t got = 0;
    while (got < 4) {
      const ssize_t n = recv(fd, header + got, 4 - got, 0);
      if (n <= 0) return false;
      Record(reinterpret_cast<char*>(header + got), static_cast<std::size_t>(n));
      got += static_cast<std::size_t>(n);
    }
    const std::size_t length = static_cast<std::size_t>(header[0]) |
                               (static_cast<std::size_t>(header[1]) << 8) |
                               (static_cast<std::size_t>(header[2]) << 16);
    sequence = header[3];
    std::vector<char> body(length);
    got = 0;
    while (got < length) {
      const ssize_t n = recv(fd, body.data() + got, length - got, 0);
      if (n <= 0) return false;
      Record(body.data() + got, static_cast<std::size_t>(n));
      got += static_cast<std::size_t>(n);
    }
    return true;
  }
  void Record(const char* data, std::size_t size) {
    std::lock_guard lock(mutex_);
    received_.append(data, size);
  }
  void Serve() {
    for (;;) {
      const int fd = accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      const std::string greeting = Greeting();
      unsigned char sequence = 0;
      if (test::SendAll(fd, reinterpret_cast<const unsigned char*>(greeting.data()), greeting.size()) &&
          ReadPacket(fd, sequence)) {
        const std::string request = Packet(static_cast<unsigned char>(sequence + 1),
                                           "\xfe" + plugin_ + '\0' + "abcdefghijklmnopqrst" + '\0');
        switchSent_ = true;
        if (test::SendAll(fd, reinterpret_cast<const unsigned char*>(request.data()), request.size())) {
          // The client's answer to the switch, or its hang-up.
          ReadPacket(fd, sequence);
        }
      }
      close(fd);
    }
  }

  std::string plugin_;
  int listener_ = -1;
  unsigned port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::string received_;
  std::atomic<bool> switchSent_{false};
};

class FalseServerAsks : public testing::TestWithParam<const char*> {};

TEST_P(FalseServerAsks, ForAPluginThatWouldExposeThePasswordAndGetsNothing) {
  FalseServer server(GetParam());
  MySqlHandle connection;
  EXPECT_EQ(OpenMySqlConnection(connection, server.Address(), "someone", kPassword), 0);
  ASSERT_TRUE(server.SwitchSent()) << "the login did not get as far as the plugin's question";
  EXPECT_EQ(server.Received().find(kPassword), std::string::npos) << "the password was sent";
  EXPECT_THAT(connection.ConnectFailure(), HasSubstr("so it was not sent"));
  // Connector/C 3.3 names the refused plugin by a garbled text ending in the greeting's plugin:
  // a plugin that was not asked for is never named instead.
  EXPECT_THAT(connection.ConnectFailure(), testing::Not(HasSubstr("mysql_native_password'")));
  EXPECT_THAT(connection.ConnectFailure(),
              testing::Not(HasSubstr("plugin mysql_native_password,")));
}

INSTANTIATE_TEST_SUITE_P(Plugins, FalseServerAsks,
                         testing::Values("mysql_clear_password", "dialog", "sha256_password",
                                         "caching_sha2_password", "auth_gssapi_client"));

TEST(PluginsWithoutTls, OnlyChallengeResponseAndRsaWithTheUsersKey) {
  EXPECT_EQ(PluginsWithoutTls(false), "mysql_native_password,client_ed25519");
  EXPECT_EQ(PluginsWithoutTls(true),
            "mysql_native_password,client_ed25519,caching_sha2_password,sha256_password");
}

}  // namespace
}  // namespace morvane
namespace morvane {
namespace {
// A switch to a challenge-response plugin goes ahead: the client answers it (with a scramble,
// not the password), and the false server, having no account, ends the login.
TEST(FalseServerSwitch, ToChallengeResponseIsAnswered) {
  FalseServer server("mysql_native_password");
  MySqlHandle connection;
  EXPECT_EQ(OpenMySqlConnection(connection, server.Address(), "someone", kPassword), 0);
  ASSERT_TRUE(server.SwitchSent());
  EXPECT_THAT(connection.ConnectFailure(), testing::Not(HasSubstr("was not sent")));
  EXPECT_EQ(server.Received().find(kPassword), std::string::npos);
}
}  // namespace
}  // namespace morvane
