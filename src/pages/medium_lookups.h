// The lookups of one language section of a medium, for filling pages
// outside the launcher's dialog (previews, benchmarks). Its language table
// is its own, built on first use like the launcher's.
#pragma once

#include <cstdint>
#include <string>

#include "pages/page_filling.h"
#include "setupdata/language_table.h"
#include "setupdata/setup_files.h"

namespace pages {

class MediumLookups : public PageLookups {
 public:
  MediumLookups(const std::string& medium_dir, const std::string& lang_id);

  std::string GetResText(const std::string& key) const override;
  std::string GetSetupValue(const std::string& key) const override;
  std::string GetLanguageName(const std::string& key) const override;
  std::string GetLanguageDir(const std::string& key) const override;
  bool IsSetupSubdir(const std::string& name) const override;

  // The number of language entries the medium declares.
  std::uint16_t count() const { return source_.count; }

 private:
  setupdata::SetupFiles files_;
  setupdata::LanguageSource source_;
  mutable setupdata::LanguageTable table_;
};

}  // namespace pages
