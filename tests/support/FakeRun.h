#pragma once
// A whole conversion run against the fakes: the window, the source and the target server write
// what they are asked into one journal. The target answers the new database's probe as a real
// server does: "shop" does not exist until CREATE DATABASE has made it.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "engine/ConversionRun.h"
#include "tests/support/FakeSource.h"
#include "tests/support/FakeTarget.h"
#include "tests/support/FakeWizardWindow.h"

namespace morvane::test {

class FakeRunTest : public testing::Test {
 protected:
  void SetUp() override {
    target.TargetServer = std::make_shared<FakeTargetServer>(journal);
    window.targetName = "shop";
    journal.refuse = [this](const std::string& s) -> std::optional<TargetError> {
      if (s == "USE [shop]" && !created) return ServerError(911, "Database 'shop' does not exist.");
      if (s == "CREATE DATABASE [shop] COLLATE Latin1_General_100_CI_AS_SC") created = true;
      if (refuseAlso) return refuseAlso(s);
      return std::nullopt;
    };
  }

  RunSummary Convert() {
    ConversionContext context{window, source, target, pending, stop, std::chrono::milliseconds(0)};
    return ConvertDatabase(context);
  }

  TargetJournal journal;
  FakeWizardWindow window{journal};
  FakeSource source;
  TargetConnection target;
  PendingIndex pending;
  StopSignal stop;
  bool created = false;
  // What else the target refuses (a test sets it): an error for a statement, or none.
  std::function<std::optional<TargetError>(const std::string&)> refuseAlso;
};

}  // namespace morvane::test
