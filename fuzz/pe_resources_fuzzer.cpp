// The reader of Windows resource-only DLLs from the outside: any bytes
// either fail with a reason or give resources that lie within them, no more
// of them than the bytes can hold, and every listed name leads back to its
// resource in any case. Seeds: DLLs the MinGW tools build at test time.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "pages/pe_resources.h"

namespace {

void CheckEntry(const pages::PeResources& dll, const pages::PeResources::Entry* entry, std::size_t size) {
  if (entry == nullptr) return;
  FUZZ_CHECK(entry->offset <= size && entry->size <= size - entry->offset);
  FUZZ_CHECK(dll.Data(*entry).size() == entry->size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string error;
  const std::optional<pages::PeResources> dll = pages::PeResources::Parse(std::string(bytes), &error);
  if (!dll) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  // Each leaf took an entry of 8 bytes of the file.
  FUZZ_CHECK(dll->entries().size() <= size / 8);
  for (const pages::PeResources::Entry& entry : dll->entries()) CheckEntry(*dll, &entry, size);

  for (const std::string& name : dll->Names()) {
    const pages::PeResources::Entry* found = dll->Find(name);
    FUZZ_CHECK(found != nullptr);
    CheckEntry(*dll, found, size);
    FUZZ_CHECK(dll->Find(fuzz::AsciiLower(name)) != nullptr);
    FUZZ_CHECK(dll->Find(fuzz::AsciiUpper(name)) != nullptr);
  }

  // A name of the input's own: what follows its last NUL.
  const std::size_t nul = bytes.rfind('\0');
  const std::string_view name = nul == std::string_view::npos ? bytes : bytes.substr(nul + 1);
  if (name.size() <= 64) CheckEntry(*dll, dll->Find(name), size);
  return 0;
}
