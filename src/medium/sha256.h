// SHA-256 from OpenSSL's libcrypto, which uses the processor's SHA
// instructions where it has them. The library is opened at run time
// (libcrypto.so.3, else libcrypto.so.1.1), so that the launcher starts on
// every distribution whatever version it ships; where none can be opened,
// GLib's GChecksum hashes instead, slower but the same digest.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "medium/checksums.h"

namespace medium {

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const void* data, std::size_t size);
  // The digest of what was given; the hash starts again after it.
  Digest Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

Digest Sha256Of(std::string_view bytes);

// What hashes: the libcrypto opened ("libcrypto.so.3"), or "GLib".
std::string Sha256Backend();

// Tests only: hashes made from now on use GLib's GChecksum (true) or
// libcrypto where it can be opened (false).
void UseGLibForTesting(bool glib);

}  // namespace medium
