// The sample home page's body as the view reads it, for the benchmarks that
// fill it.
#pragma once

#include <string>

#include "pages/page_library.h"

inline std::string SampleHomeBody() {
  std::string error;
  auto library = pages::PageLibrary::Open(SAMPLE_PAGE_LIBRARY, &error);
  if (!library) return {};
  const std::string page = library->Lookup("HTML_HOMEPAGE")->bytes;
  const std::size_t start = page.find("<body");
  const std::size_t end = page.find("</body>");
  return page.substr(start, end + 7 - start);
}
