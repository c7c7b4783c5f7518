#include "medium/sha256.h"

#include <dlfcn.h>
#include <glib.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <type_traits>

namespace medium {
namespace {

// The few functions of libcrypto's EVP interface used, declared here so
// that the build needs no OpenSSL headers and the program links nothing of
// it. Their signatures are the same in 1.1 and 3.
struct Crypto {
  void* (*EVP_MD_CTX_new)() = nullptr;
  void (*EVP_MD_CTX_free)(void*) = nullptr;
  const void* (*EVP_sha256)() = nullptr;
  int (*EVP_DigestInit_ex)(void*, const void*, void*) = nullptr;
  int (*EVP_DigestUpdate)(void*, const void*, std::size_t) = nullptr;
  int (*EVP_DigestFinal_ex)(void*, unsigned char*, unsigned int*) = nullptr;
  const void* sha256 = nullptr;
  std::string library;
};

// OPENSSL_init_crypto's option that keeps the library from tearing itself
// down at exit (1.1.1 and later): a worker still reading a slow drive when
// the process ends may hash its last block meanwhile.
constexpr std::uint64_t kOpenSslInitNoAtExit = 0x00080000;

constexpr const char* kLibraryNames[] = {"libcrypto.so.3", "libcrypto.so.1.1"};

std::atomic<bool> g_glib_for_testing{false};

std::optional<Crypto> Open(const std::string& library) {
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) return std::nullopt;
  Crypto crypto;
  bool complete = true;
  const auto find = [&](auto& function, const char* name) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
    complete = complete && function != nullptr;
  };
  find(crypto.EVP_MD_CTX_new, "EVP_MD_CTX_new");
  find(crypto.EVP_MD_CTX_free, "EVP_MD_CTX_free");
  find(crypto.EVP_sha256, "EVP_sha256");
  find(crypto.EVP_DigestInit_ex, "EVP_DigestInit_ex");
  find(crypto.EVP_DigestUpdate, "EVP_DigestUpdate");
  find(crypto.EVP_DigestFinal_ex, "EVP_DigestFinal_ex");
  if (complete) {
    using Init = int (*)(std::uint64_t, const void*);
    if (auto init = reinterpret_cast<Init>(dlsym(handle, "OPENSSL_init_crypto")))
      init(kOpenSslInitNoAtExit, nullptr);
    // Fetched once (3.0 and later), not again by each file's start.
    using Fetch = const void* (*)(void*, const char*, const char*);
    if (auto fetch = reinterpret_cast<Fetch>(dlsym(handle, "EVP_MD_fetch")))
      crypto.sha256 = fetch(nullptr, "SHA256", nullptr);
    if (crypto.sha256 == nullptr) crypto.sha256 = crypto.EVP_sha256();
  }
  if (!complete || crypto.sha256 == nullptr) {
    dlclose(handle);
    return std::nullopt;
  }
  // The library stays open for the life of the process.
  crypto.library = library;
  return crypto;
}

// The library, opened on first use; null where none can be.
const Crypto* Library() {
  static std::once_flag once;
  static std::optional<Crypto> crypto;
  std::call_once(once, [] {
    for (const char* name : kLibraryNames) {
      crypto = Open(name);
      if (crypto) return;
    }
  });
  return crypto ? &*crypto : nullptr;
}

}  // namespace

struct Sha256::State {
  const Crypto* crypto = g_glib_for_testing ? nullptr : Library();
  void* context = nullptr;        // libcrypto's
  GChecksum* checksum = nullptr;  // GLib's, without libcrypto

  void Start() {
    // A context libcrypto cannot make or start is GLib's work instead.
    if (crypto != nullptr && context == nullptr) context = crypto->EVP_MD_CTX_new();
    if (context != nullptr && crypto->EVP_DigestInit_ex(context, crypto->sha256, nullptr) == 1) return;
    if (context != nullptr) crypto->EVP_MD_CTX_free(context);
    context = nullptr;
    if (checksum == nullptr) checksum = g_checksum_new(G_CHECKSUM_SHA256);
    g_checksum_reset(checksum);
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) { state_->Start(); }

Sha256::~Sha256() {
  if (state_->context != nullptr) state_->crypto->EVP_MD_CTX_free(state_->context);
  if (state_->checksum != nullptr) g_checksum_free(state_->checksum);
}

void Sha256::Update(const void* data, std::size_t size) {
  if (state_->context != nullptr) {
    state_->crypto->EVP_DigestUpdate(state_->context, data, size);
    return;
  }
  // GChecksum takes a signed length: large blocks go in pieces.
  const auto* bytes = static_cast<const guchar*>(data);
  while (size > 0) {
    const std::size_t piece = std::min<std::size_t>(size, G_MAXSSIZE);
    g_checksum_update(state_->checksum, bytes, static_cast<gssize>(piece));
    bytes += piece;
    size -= piece;
  }
}

Digest Sha256::Finish() {
  Digest digest{};
  if (state_->context != nullptr) {
    unsigned int size = 0;
    state_->crypto->EVP_DigestFinal_ex(state_->context, digest.data(), &size);
  } else {
    gsize size = digest.size();
    g_checksum_get_digest(state_->checksum, digest.data(), &size);
  }
  state_->Start();
  return digest;
}

Digest Sha256Of(std::string_view bytes) {
  Sha256 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.Finish();
}

std::string Sha256Backend() {
  const Crypto* crypto = Library();
  return crypto != nullptr ? crypto->library : "GLib";
}

void UseGLibForTesting(bool glib) { g_glib_for_testing = glib; }

}  // namespace medium
