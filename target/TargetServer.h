#pragma once
// The objects of the target side: the server object (login and server-level statements), its
// databases collection and one database object, as interfaces so that the engine can be run
// against fakes, and the holders that keep them for the whole process.
//
// Every operation fails only by throwing TargetError. Statement texts are UTF-8; a statement's
// length is the byte length of the part of the text to run.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "target/TargetError.h"

namespace morvane {

class TargetDatabaseObject {
 public:
  virtual ~TargetDatabaseObject() = default;
  // Runs the statement in this database, whatever the connection's current database is. Any
  // result is read to its end and thrown away.
  virtual void ExecuteWithResults(const std::string& command, std::int32_t length) = 0;
  // Runs a query in this database and returns the first column of its first row as a number;
  // nothing when there is no such number, or when the object cannot read results.
  virtual std::optional<std::int64_t> QueryNumber(const std::string& command) {
    static_cast<void>(command);
    return std::nullopt;
  }
};

class TargetDatabasesObject {
 public:
  virtual ~TargetDatabasesObject() = default;
  // Reads the list of the server's databases anew.
  virtual void Refresh() = 0;
  // The database of that name; throws when the collection has none of that name. May return
  // an empty pointer for an object that does not offer the database interface.
  virtual std::shared_ptr<TargetDatabaseObject> Item(const std::string& name) = 0;
};

class TargetServerObject {
 public:
  virtual ~TargetServerObject() = default;
  // True: the next Connect uses integrated security and ignores login and password.
  virtual void LoginSecure(bool secure) = 0;
  // serverName as users type it: "host", "host\instance", "host,port"; empty means the local
  // default instance. An omitted login or password counts as an empty one.
  virtual void Connect(const std::string& serverName, const std::optional<std::string>& login,
                       const std::optional<std::string>& password) = 0;
  // Runs the statement in the connection's current database; any result is thrown away.
  virtual void ExecuteWithResults(const std::string& command, std::int32_t length) = 0;
  virtual std::shared_ptr<TargetDatabasesObject> Databases() = 0;
  // From any thread while another uses the object: the statement running now on its
  // connection (also one sent through a database object) ends at once with a TargetError,
  // and so does every later one, until Resume. For a run that is being stopped.
  virtual void Cancel() {}
  // Statements run again (what the stop itself still needs, the next run).
  virtual void Resume() {}
  // The largest SQL batch the logged-in server takes, in bytes as it counts them (its UTF-16
  // text): 65 536 times the network packet size it granted. Nothing when not known.
  virtual std::optional<std::uint64_t> BatchLimit() { return std::nullopt; }
  // Asked during Connect, with the server name, when the server answered that it cannot
  // encrypt: true lets the login (name and password) and the session go unencrypted. Without
  // it, or when it answers false, such a login fails before anything of it is sent.
  virtual void SetUnencryptedLoginConsent(std::function<bool(const std::string&)> consent) {
    static_cast<void>(consent);
  }
};

// The error that reaching through an empty holder raises: E_POINTER, no error information.
inline TargetError EmptyHolderError() { return TargetError(target_code::kInvalidPointer); }

// Keeps one object. Storing another (or nothing) releases the one held before; reaching the
// object through an empty holder throws EmptyHolderError before anything is sent.
template <class T>
class Holder {
 public:
  Holder() = default;
  Holder(const Holder&) = delete;
  Holder& operator=(const Holder&) = delete;

  Holder& operator=(std::shared_ptr<T> object) {
    std::shared_ptr<T> previous = std::exchange(object_, std::move(object));
    previous.reset();
    return *this;
  }
  void Reset() { object_.reset(); }

  bool Empty() const { return object_ == nullptr; }
  explicit operator bool() const { return !Empty(); }
  const std::shared_ptr<T>& Get() const { return object_; }

  T* operator->() const {
    if (!object_) throw EmptyHolderError();
    return object_.get();
  }
  T& operator*() const { return *operator->(); }

 private:
  std::shared_ptr<T> object_;
};

// The target side's state for the whole process (the main window owns it). The members are
// released in the order TargetDatabase, TargetDatabases, TargetServer.
struct TargetConnection {
  Holder<TargetServerObject> TargetServer;
  Holder<TargetDatabasesObject> TargetDatabases;
  Holder<TargetDatabaseObject> TargetDatabase;
};

// The database lookup: TargetDatabases := TargetServer's Databases; Refresh; TargetDatabase :=
// Item(name). Throws what those operations throw; the holders keep what was stored up to then.
void LookUpTargetDatabase(TargetConnection& connection, const std::string& name);

}  // namespace morvane
