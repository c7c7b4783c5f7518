// setup-medium add-language: one more language on an existing medium.
#pragma once

#include <cstdint>
#include <string>

namespace tools {

struct AddLanguageOptions {
  std::string dir;       // the medium's folder
  std::uint16_t id = 0;  // the language id to add
};

// Adds the language `id` to the medium in `dir` as init writes a language:
// its entry at the end of every language section's list, LANGUAGENUMBER
// one more, its own section at the end of setupres.ini, and its setup
// folder. setupres.ini is edited in place (the author's comments, order
// and other lines stay) and replaced in one step. Refuses, with one line
// on standard error and nothing changed: a folder that is no medium, an
// unknown id, an id with a section on the medium, a folder of the
// language's name (in any case) that exists or that a list names already,
// and a list that holds the next entry already. Returns the exit status:
// 0, or 1.
int RunAddLanguage(const AddLanguageOptions& options);

}  // namespace tools
