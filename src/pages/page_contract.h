// What the launcher relies on in the page library: the file name, the two
// page addresses and the names of the resources the pages use.
#pragma once

namespace pages {

// The scheme through which the view loads the page library.
inline constexpr char kResScheme[] = "res";
// The page library's file name beside the launcher, as the addresses name it.
inline constexpr char kPageLibraryName[] = "SetupHmRes.dll";

// The database page, shown first when setup.inf offers a database choice.
inline constexpr char kDatabasePageAddress[] = "res://SetupHmRes.dll/HTML_SAP";
// The home page: language choice, release notes, exit.
inline constexpr char kHomePageAddress[] = "res://SetupHmRes.dll/HTML_HOMEPAGE";

}  // namespace pages
