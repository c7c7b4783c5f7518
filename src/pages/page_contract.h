// What the launcher relies on in the page library: the file name, the two
// page addresses and the names of the resources the pages use.
#pragma once

#include <string_view>

namespace pages {

// The scheme through which the view loads the page library.
inline constexpr char kResScheme[] = "res";
// The page library's file name beside the launcher, as the addresses name it.
inline constexpr char kPageLibraryName[] = "SetupHmRes.dll";

// The database page, shown first when setup.inf offers a database choice.
inline constexpr char kDatabasePageName[] = "HTML_SAP";
inline constexpr char kDatabasePageAddress[] = "res://SetupHmRes.dll/HTML_SAP";
// The home page: language choice, release notes, exit.
inline constexpr char kHomePageName[] = "HTML_HOMEPAGE";
inline constexpr char kHomePageAddress[] = "res://SetupHmRes.dll/HTML_HOMEPAGE";

// An address is the scheme, "://", the library, "/" and the page's name.
constexpr bool IsAddressOf(std::string_view address, std::string_view name) {
  const std::string_view scheme = kResScheme;
  const std::string_view library = kPageLibraryName;
  return address.size() == scheme.size() + 3 + library.size() + 1 + name.size() &&
         address.starts_with(scheme) && address.substr(scheme.size(), 3) == "://" &&
         address.substr(scheme.size() + 3, library.size()) == library && address.ends_with(name) &&
         address[address.size() - name.size() - 1] == '/';
}
static_assert(IsAddressOf(kDatabasePageAddress, kDatabasePageName));
static_assert(IsAddressOf(kHomePageAddress, kHomePageName));

}  // namespace pages

namespace pages {

// A placeholder is "ID" and its lookup key; a link command word begins with
// "IDR", so no command word contains a placeholder.
inline constexpr char kPlaceholderPrefix[] = "ID";

// The home page fills nine language slots, "IDLANGUAGE0" to "IDLANGUAGE8".
inline constexpr int kLanguageSlots = 9;
inline constexpr char kLanguageSlotPrefix[] = "IDLANGUAGE";

// The home page's other placeholders, in the order they are filled.
inline constexpr char kSelectLangPlaceholder[] = "IDSELECTLANG";
inline constexpr char kProductNamePlaceholder[] = "IDPRODUCTNAME";
// The text of the element that leads back to the database page, which
// shows only with a database choice.
inline constexpr char kBackPlaceholder[] = "IDBACK";
// The text of the release-notes link.
inline constexpr char kReleaseNotesPlaceholder[] = "IDRELNOTES";
inline constexpr const char* kHomeTextPlaceholders[] = {kReleaseNotesPlaceholder, "IDEXIT", kBackPlaceholder};

// The key a placeholder's text is looked up under: the placeholder without
// its "ID".
constexpr std::string_view PlaceholderKey(std::string_view placeholder) {
  return placeholder.substr(std::string_view(kPlaceholderPrefix).size());
}

// The database page's placeholders, in the order they are filled.
inline constexpr const char* kDatabasePlaceholders[] = {"IDSELECTPRODUCT", "IDSAPSELECTSQL",
                                                        "IDSAPSELECTORACLE", "IDNEXT", "IDEXIT"};

// The attribute text on the element that leads back to the database page,
// and what it becomes: the element shows only when there is a database choice.
inline constexpr char kVisibilityMarker[] = "id=AAAAA";
// The same attribute as a page's markup reads once a browser has parsed it:
// with its value in quotes. The whole attribute is replaced.
inline constexpr const char* kQuotedVisibilityMarkers[] = {"id=\"AAAAA\"", "id='AAAAA'"};
inline constexpr char kVisible[] = "style='visibility:visible'";
inline constexpr char kHidden[] = "style='visibility:hidden'";

}  // namespace pages

namespace pages {

// Command words in link addresses, recognised in any letter case.
inline constexpr char kLanguageCommand[] = "IDRLANGUAGE";  // then the slot number, ending the address
inline constexpr char kReleaseNotesCommand[] = "IDRRELNOTES";
inline constexpr char kExitCommand[] = "IDREXIT";

// The database page's markers, matched with their case: the order of the
// two options and of the two images in the markup tells the choice.
inline constexpr char kSqlMarker[] = "IDSELECTSQL";
inline constexpr char kOracleMarker[] = "IDSELECTORACLE";
inline constexpr char kSelectedImage[] = "GIF/GIF_SELECTED";
inline constexpr char kNotSelectedImage[] = "GIF/GIF_NOSELECTED";

inline constexpr char kSqlDatabase[] = "SQL";
inline constexpr char kOracleDatabase[] = "Oracle";

}  // namespace pages
