#pragma once
// What the database and table listings need of the main window: its database combo box,
// its table list box and its target-name edit box. Both boxes keep their items sorted.

#include <string>

namespace morvane {

class ListingWindow {
 public:
  virtual ~ListingWindow() = default;

  virtual void AddDatabase(const std::string& name) = 0;
  virtual int DatabaseCount() const = 0;
  virtual void SelectFirstDatabase() = 0;
  virtual std::string SelectedDatabase() const = 0;
  virtual void SetTargetName(const std::string& name) = 0;

  virtual void ClearTables() = 0;
  virtual void AddTable(const std::string& name) = 0;
};

}  // namespace morvane
