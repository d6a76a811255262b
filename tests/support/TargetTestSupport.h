#pragma once
// What the target side's tests share: a message box that keeps what it was shown, and server
// objects that always use the FreeTDS driver.

#include <memory>
#include <string>
#include <vector>

#include "target/OdbcServer.h"
#include "target/SqlServerLogin.h"

namespace morvane::test {

class RecordingMessageBox final : public TargetMessageBox {
 public:
  void ShowMessage(const std::string& text) override { shown.push_back(text); }
  // The shared test server has no TLS, as a user who agreed once.
  bool AllowUnencryptedLogin(const std::string&) override { return true; }
  std::vector<std::string> shown;
};

// The tests expect FreeTDS's texts, whichever drivers this computer has besides.
inline std::shared_ptr<TargetServerObject> NewFreeTdsServer() {
  OdbcServerOptions options;
  options.drivers = {kFreeTdsDriver};
  return CreateOdbcTargetServer(options);
}

}  // namespace morvane::test
