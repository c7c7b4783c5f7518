// Reading link addresses: the command words a page puts into its links, and
// the database choice the database page shows.
#pragma once

#include <string>
#include <string_view>

namespace pages {

// What one address asks for. The address is read in upper case.
struct LinkCommand {
  bool language = false;          // "IDRLANGUAGE" is in the address
  long long language_number = 0;  // the number after it, read as atoi reads it
  std::string language_key;       // "LANGUAGE" and everything after the word
  int language_slot = -1;         // the slot 0..8 when the key is exactly "LANGUAGE<slot>"
  bool release_notes = false;     // "IDRRELNOTES" is in the address
  bool exit = false;              // "IDREXIT" is in the address
};

LinkCommand ParseLinkAddress(std::string_view url);

// The whole address is the home page's, in any letter case.
bool IsHomePageAddress(std::string_view url);

// The database the page markup shows as chosen: "SQL" when the SQL option
// comes first and the selected image too (or neither), "Oracle" otherwise.
// A marker that is absent counts as lying before every present one.
std::string DetectDatabaseIn(std::string_view body);

}  // namespace pages
