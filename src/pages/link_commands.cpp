#include "pages/link_commands.h"

#include "pages/page_contract.h"
#include "setupdata/text.h"

namespace pages {
namespace {

constexpr std::size_t kCommandPrefixLength = 3;  // "IDR" before the key

long long Position(std::string_view text, std::string_view word) {
  const std::size_t at = text.find(word);
  return at == std::string_view::npos ? -1 : static_cast<long long>(at);
}

}  // namespace

LinkCommand ParseLinkAddress(std::string_view url) {
  const std::string address = setupdata::AsciiUpper(url);
  LinkCommand command;
  const std::size_t at = address.find(kLanguageCommand);
  if (at != std::string::npos) {
    command.language = true;
    const std::string_view after = std::string_view(address).substr(at + sizeof(kLanguageCommand) - 1);
    command.language_number = setupdata::ParseLeadingInt(after);
    command.language_key = address.substr(at + kCommandPrefixLength);
    if (after.size() == 1 && after[0] >= '0' && after[0] <= '8') command.language_slot = after[0] - '0';
  }
  command.release_notes = address.find(kReleaseNotesCommand) != std::string::npos;
  command.exit = address.find(kExitCommand) != std::string::npos;
  return command;
}

bool IsHomePageAddress(std::string_view url) { return setupdata::EqualsNoCase(url, kHomePageAddress); }

std::string DetectDatabaseIn(std::string_view body) {
  const bool sql_first = Position(body, kSqlMarker) < Position(body, kOracleMarker);
  const bool selected_first = Position(body, kSelectedImage) < Position(body, kNotSelectedImage);
  return sql_first == selected_first ? kSqlDatabase : kOracleDatabase;
}

}  // namespace pages
