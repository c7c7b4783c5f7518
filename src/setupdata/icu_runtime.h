// ICU's common library, found at run time. Each distribution ships it under
// a name of its own version (libicuuc.so.72 on one, .74 or .76 on others),
// and its functions carry that version too (uloc_getLCID_72): a program
// linked to one of them starts on that distribution alone. The library is
// looked for once, from the newest version to the oldest, and its
// functions are reached through the table below.
//
// ICU's headers serve for the types and constants only; the build defines
// U_DISABLE_RENAMING, so that they declare the plain names and nothing here
// links against a versioned one.
#pragma once

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>
#include <unicode/ucnv_err.h>
#include <unicode/ucsdet.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <string>
#include <vector>

#if !U_DISABLE_RENAMING
#error "ICU's headers must be read with U_DISABLE_RENAMING set (see src/setupdata/CMakeLists.txt)"
#endif

namespace setupdata {

// The functions used, by their plain names.
#define SETUP_ICU_FUNCTIONS(X) \
  X(uloc_addLikelySubtags)     \
  X(uloc_canonicalize)         \
  X(uloc_countAvailable)       \
  X(uloc_getAvailable)         \
  X(uloc_getCountry)           \
  X(uloc_getDisplayName)       \
  X(uloc_getISO3Language)      \
  X(uloc_getLanguage)          \
  X(uloc_getLCID)              \
  X(uloc_getLocaleForLCID)     \
  X(uloc_getScript)            \
  X(uloc_isRightToLeft)        \
  X(uloc_toLanguageTag)        \
  X(ucnv_cbToUWriteUChars)     \
  X(ucnv_close)                \
  X(ucnv_fromUChars)           \
  X(ucnv_open)                 \
  X(ucnv_setFromUCallBack)     \
  X(ucnv_setToUCallBack)       \
  X(ucnv_toUnicode)            \
  X(u_strFromUTF8)             \
  X(u_strToUTF8WithSub)        \
  X(UCNV_FROM_U_CALLBACK_STOP)

struct IcuFunctions {
#define SETUP_ICU_POINTER(name) decltype(&::name) name = nullptr;
  SETUP_ICU_FUNCTIONS(SETUP_ICU_POINTER)
#undef SETUP_ICU_POINTER
  std::string library;  // the name it was opened by: "libicuuc.so.72"
};

// The charset detector of ICU's i18n library, for the tools' guesses at
// the codepage of a text; the launcher never needs it.
#define SETUP_ICU_DETECTOR_FUNCTIONS(X) \
  X(ucsdet_close)                       \
  X(ucsdet_detectAll)                   \
  X(ucsdet_getConfidence)               \
  X(ucsdet_getName)                     \
  X(ucsdet_open)                        \
  X(ucsdet_setText)

struct IcuDetectorFunctions {
#define SETUP_ICU_POINTER(name) decltype(&::name) name = nullptr;
  SETUP_ICU_DETECTOR_FUNCTIONS(SETUP_ICU_POINTER)
#undef SETUP_ICU_POINTER
};

// The library, opened on first use (thread-safe, once per process); null
// when no version of it can be opened or one lacks a function, which is
// said once in one line on standard error.
const IcuFunctions* Icu();

// The detector, from the i18n library of the version Icu() opened, on
// first use; null when that cannot be had. Says nothing when it fails.
const IcuDetectorFunctions* IcuDetector();

// The library names tried: libicuuc.so.80 down to libicuuc.so.50, then
// libicuuc.so, then the versions after 80 up to 200, for systems newer
// than this list.
std::vector<std::string> IcuLibraryNames();

// Tests only: the names tried instead, before the first use of Icu().
void SetIcuLibraryNamesForTesting(std::vector<std::string> names);

}  // namespace setupdata
