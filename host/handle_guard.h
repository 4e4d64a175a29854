// Scope guards for host handles, so that every exit of a handler, a thrown
// error code included, gives back what it made or locked.
#pragma once

#include "host/host_interface.h"

namespace quillmarch {

/// Disposes of a handle when it goes out of scope, unless Release() handed
/// it to someone else.
class OwnedHandle {
 public:
  OwnedHandle(const PF_HandleSuite1& suite, PF_Handle handle) : suite_(&suite), handle_(handle) {}
  ~OwnedHandle() {
    if (handle_ != nullptr) suite_->host_dispose_handle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  PF_Handle get() const { return handle_; }
  PF_Handle Release() {
    PF_Handle handle = handle_;
    handle_ = nullptr;
    return handle;
  }

 private:
  const PF_HandleSuite1* suite_;
  PF_Handle handle_;
};

/// Locks a handle for the guard's lifetime. A lock that yields no pointer
/// holds nothing, so nothing is unlocked for it.
class HandleLock {
 public:
  HandleLock(const PF_HandleSuite1& suite, PF_Handle handle)
      : suite_(&suite), handle_(handle), data_(suite.host_lock_handle(handle)) {}
  ~HandleLock() {
    if (data_ != nullptr) suite_->host_unlock_handle(handle_);
  }
  HandleLock(const HandleLock&) = delete;
  HandleLock& operator=(const HandleLock&) = delete;

  void* data() const { return data_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  const PF_HandleSuite1* suite_;
  PF_Handle handle_;
  void* data_;
};

}  // namespace quillmarch
