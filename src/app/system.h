// What the dialog needs of the operating system. The POSIX implementation
// serves the launcher; tests use fakes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/result_channel.h"
#include "medium/verifier.h"

namespace app {

// A held named lock; released when the object goes or the process ends.
class ILockHandle {
 public:
  virtual ~ILockHandle() = default;
  // The lock's file, for messages; empty when it has none.
  virtual std::string Path() const { return {}; }
};

// A check of files of the medium, running off the dialog's thread; the
// check stops when this goes, and reports nothing more.
class IMediumCheck {
 public:
  virtual ~IMediumCheck() = default;
};

class ISystem {
 public:
  virtual ~ISystem() = default;
  // The full path of the running program.
  virtual std::string ModuleFileName() = 0;
  // The system's default language as a Windows language identifier.
  virtual std::uint16_t SystemDefaultLangId() = 0;
  // Creates and holds the named lock `name`; `already_existed` tells whether
  // another process held it before. nullptr when it cannot be held (the
  // reason goes to standard error).
  virtual std::unique_ptr<ILockHandle> CreateNamedLock(const std::string& name, bool& already_existed) = 0;
  // Writes `bytes` to standard output in full, once.
  virtual ResultWrite WriteResult(std::string_view bytes) = 0;
  // Opens `path` with the desktop's default program for HTML, detached and
  // with none of the launcher's descriptors; false when there is none.
  virtual bool OpenWithDefaultHtmlProgram(const std::string& path) = 0;
  // Writes one line on standard error: why the launcher ends as it does.
  virtual void SayError(const std::string& line) = 0;
  // Starts a check off the caller's thread: `prepare` names the files
  // below `root` (reading the medium's list), which are then read and
  // compared with their checksums; the progress and the end reach the main
  // loop of the caller's thread (medium::VerificationOnLoop).
  virtual std::unique_ptr<IMediumCheck> StartCheck(const std::string& root, medium::Preparation prepare,
                                                   medium::VerificationOnLoop::OnProgress on_progress,
                                                   medium::VerificationOnLoop::OnDone on_done) = 0;
};

// A system that passes every request on to another; a front end that
// changes a few of them overrides only those.
class ForwardingSystem : public ISystem {
 public:
  explicit ForwardingSystem(ISystem& system) : system_(system) {}
  std::string ModuleFileName() override { return system_.ModuleFileName(); }
  std::uint16_t SystemDefaultLangId() override { return system_.SystemDefaultLangId(); }
  std::unique_ptr<ILockHandle> CreateNamedLock(const std::string& name, bool& already_existed) override {
    return system_.CreateNamedLock(name, already_existed);
  }
  ResultWrite WriteResult(std::string_view bytes) override { return system_.WriteResult(bytes); }
  bool OpenWithDefaultHtmlProgram(const std::string& path) override {
    return system_.OpenWithDefaultHtmlProgram(path);
  }
  void SayError(const std::string& line) override { system_.SayError(line); }
  std::unique_ptr<IMediumCheck> StartCheck(const std::string& root, medium::Preparation prepare,
                                           medium::VerificationOnLoop::OnProgress on_progress,
                                           medium::VerificationOnLoop::OnDone on_done) override {
    return system_.StartCheck(root, std::move(prepare), std::move(on_progress), std::move(on_done));
  }

 protected:
  ISystem& system_;
};

class PosixSystem final : public ISystem {
 public:
  std::string ModuleFileName() override;
  std::uint16_t SystemDefaultLangId() override;
  std::unique_ptr<ILockHandle> CreateNamedLock(const std::string& name, bool& already_existed) override;
  ResultWrite WriteResult(std::string_view bytes) override;
  bool OpenWithDefaultHtmlProgram(const std::string& path) override;
  void SayError(const std::string& line) override;
  std::unique_ptr<IMediumCheck> StartCheck(const std::string& root, medium::Preparation prepare,
                                           medium::VerificationOnLoop::OnProgress on_progress,
                                           medium::VerificationOnLoop::OnDone on_done) override;
};

}  // namespace app
