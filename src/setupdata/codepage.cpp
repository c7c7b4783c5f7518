#include "setupdata/codepage.h"

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "setupdata/icu_runtime.h"
#include "setupdata/setup_files.h"

namespace setupdata {
namespace {

struct CloseConverter {
  // A converter exists only where the library was found.
  void operator()(UConverter* converter) const { Icu()->ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, CloseConverter>;

// ICU knows every Windows ANSI codepage as "windows-<number>". None
// without ICU.
Converter OpenConverter(std::uint16_t codepage) {
  const IcuFunctions* icu = Icu();
  if (icu == nullptr) return nullptr;
  const std::string name = "windows-" + std::to_string(codepage);
  UErrorCode status = U_ZERO_ERROR;
  Converter converter(icu->ucnv_open(name.c_str(), &status));
  if (U_FAILURE(status)) return nullptr;
  return converter;
}

// ICU writes U+001A for a single byte a codepage leaves unassigned; the
// text shows U+FFFD for every byte it cannot read, as for broken UTF-16.
void SubstituteReplacementCharacter(const void*, UConverterToUnicodeArgs* args, const char*, int32_t,
                                    UConverterCallbackReason reason, UErrorCode* status) {
  if (reason != UCNV_UNASSIGNED && reason != UCNV_ILLEGAL && reason != UCNV_IRREGULAR) return;
  constexpr UChar kReplacement = 0xFFFD;
  *status = U_ZERO_ERROR;
  Icu()->ucnv_cbToUWriteUChars(args, &kReplacement, 1, 0, status);
}

// A language written in Latin letters: the Central European, Turkish,
// Baltic and Vietnamese ones have codepages of their own.
std::uint16_t LatinCodepage(std::string_view language) {
  struct Entry {
    const char* language;
    std::uint16_t codepage;
  };
  static constexpr Entry kLatin[] = {
      {"cs", 1250}, {"hu", 1250}, {"pl", 1250}, {"ro", 1250}, {"sk", 1250}, {"sl", 1250},
      {"hr", 1250}, {"bs", 1250}, {"sr", 1250}, {"sq", 1250}, {"tk", 1250}, {"tr", 1254},
      {"az", 1254}, {"uz", 1254}, {"et", 1257}, {"lv", 1257}, {"lt", 1257}, {"vi", 1258},
  };
  for (const Entry& entry : kLatin) {
    if (language == entry.language) return entry.codepage;
  }
  return kWesternCodepage;
}

std::uint16_t ScriptCodepage(std::string_view script, std::string_view language) {
  struct Entry {
    const char* script;
    std::uint16_t codepage;
  };
  static constexpr Entry kScripts[] = {
      {"Cyrl", 1251}, {"Grek", 1253}, {"Hebr", 1255}, {"Arab", 1256}, {"Thai", 874},
      {"Jpan", 932},  {"Hans", 936},  {"Kore", 949},  {"Hant", 950},
  };
  if (script == "Latn") return LatinCodepage(language);
  for (const Entry& entry : kScripts) {
    if (script == entry.script) return entry.codepage;
  }
  return kWesternCodepage;
}

// The language and script of an id, as ICU maps it to a locale ("sr",
// "Cyrl" for 3098); false when ICU does not know the id or is missing.
bool LanguageAndScript(std::uint16_t lang_id, std::string& language, std::string& script) {
  const IcuFunctions* icu = Icu();
  if (icu == nullptr) return false;
  char locale[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  icu->uloc_getLocaleForLCID(lang_id, locale, sizeof locale, &status);
  if (U_FAILURE(status) || locale[0] == '\0') return false;
  char likely[ULOC_FULLNAME_CAPACITY] = {};
  status = U_ZERO_ERROR;
  icu->uloc_addLikelySubtags(locale, likely, sizeof likely, &status);
  if (U_FAILURE(status)) return false;
  char language_part[ULOC_LANG_CAPACITY] = {};
  char script_part[ULOC_SCRIPT_CAPACITY] = {};
  UErrorCode language_status = U_ZERO_ERROR;
  UErrorCode script_status = U_ZERO_ERROR;
  icu->uloc_getLanguage(likely, language_part, sizeof language_part, &language_status);
  icu->uloc_getScript(likely, script_part, sizeof script_part, &script_status);
  if (U_FAILURE(language_status) || U_FAILURE(script_status)) return false;
  language = language_part;
  script = script_part;
  return true;
}

std::uint16_t LookUpAnsiCodepage(std::uint16_t lang_id) {
  std::string language;
  std::string script;
  // An id ICU does not know is read as its language's main one.
  const std::uint16_t main_id = MainLanguageOf(lang_id);
  if (!LanguageAndScript(lang_id, language, script) && !LanguageAndScript(main_id, language, script)) {
    return kWesternCodepage;
  }
  return ScriptCodepage(script, language);
}

}  // namespace

std::uint16_t AnsiCodepage(std::uint16_t lang_id) {
  // A medium's values are read in one or two codepages, and asking ICU
  // takes some microseconds: the last answer is kept.
  thread_local std::optional<std::pair<std::uint16_t, std::uint16_t>> last;
  if (last && last->first == lang_id) return last->second;
  const std::uint16_t codepage = LookUpAnsiCodepage(lang_id);
  last.emplace(lang_id, codepage);
  return codepage;
}

std::optional<std::uint16_t> SectionLangId(std::string_view section) {
  if (section.empty() || section.size() > 5) return std::nullopt;
  std::uint32_t id = 0;
  for (const char c : section) {
    if (c < '0' || c > '9') return std::nullopt;
    id = id * 10 + static_cast<std::uint32_t>(c - '0');
  }
  if (id == 0 || id > 0xFFFF) return std::nullopt;
  return static_cast<std::uint16_t>(id);
}

std::uint16_t SectionCodepage(std::string_view section, std::string_view lang_id) {
  std::optional<std::uint16_t> id = SectionLangId(section);
  if (!id) id = SectionLangId(lang_id);
  return id ? AnsiCodepage(*id) : kWesternCodepage;
}

namespace {

constexpr char kReplacementUtf8[] = "\xEF\xBF\xBD";  // U+FFFD

// Without ICU the C library's converter reads the codepage (1252 when it
// lacks that one); a byte it cannot read gives U+FFFD, so a value is never
// lost, and without any converter every byte beyond ASCII does.
std::string DecodeWithoutIcu(std::string_view bytes, std::uint16_t codepage) {
  const auto none = reinterpret_cast<GIConv>(-1);
  GIConv converter = g_iconv_open("UTF-8", ("CP" + std::to_string(codepage)).c_str());
  if (converter == none) converter = g_iconv_open("UTF-8", "CP1252");
  std::string text;
  if (converter == none) {
    for (const char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) {
        text += c;
      } else {
        text += kReplacementUtf8;
      }
    }
    return text;
  }
  auto* in = const_cast<gchar*>(bytes.data());
  gsize in_left = bytes.size();
  char buffer[512];
  while (in_left > 0) {
    gchar* out = buffer;
    gsize out_left = sizeof buffer;
    const gsize result = g_iconv(converter, &in, &in_left, &out, &out_left);
    text.append(buffer, static_cast<std::size_t>(out - buffer));
    if (result == static_cast<gsize>(-1) && errno != E2BIG) {
      text += kReplacementUtf8;
      ++in;
      --in_left;
      g_iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
  }
  g_iconv_close(converter);
  return text;
}

// `bytes` in `codepage` by ICU's converter, or without ICU the C library's.
std::string DecodeByConverter(std::string_view bytes, std::uint16_t codepage) {
  if (Icu() == nullptr) return DecodeWithoutIcu(bytes, codepage);
  Converter converter = OpenConverter(codepage);
  if (!converter) converter = OpenConverter(kWesternCodepage);
  if (!converter || bytes.empty()) return std::string();
  const IcuFunctions& icu = *Icu();
  UErrorCode status = U_ZERO_ERROR;
  icu.ucnv_setToUCallBack(converter.get(), SubstituteReplacementCharacter, nullptr, nullptr, nullptr,
                          &status);
  // A byte gives at most one UTF-16 unit; twice the room never runs out.
  std::u16string units(2 * bytes.size() + 2, u'\0');
  UChar* target = units.data();
  const char* source = bytes.data();
  status = U_ZERO_ERROR;
  icu.ucnv_toUnicode(converter.get(), &target, units.data() + units.size(), &source,
                     bytes.data() + bytes.size(), nullptr, true, &status);
  if (U_FAILURE(status)) return std::string();
  const auto count = static_cast<int32_t>(target - units.data());
  // A unit gives at most three bytes of UTF-8.
  std::string text(3 * static_cast<std::size_t>(count), '\0');
  int32_t length = 0;
  status = U_ZERO_ERROR;
  icu.u_strToUTF8WithSub(text.data(), static_cast<int32_t>(text.size()), &length, units.data(), count, 0xFFFD,
                         nullptr, &status);
  if (U_FAILURE(status)) return std::string();
  text.resize(static_cast<std::size_t>(length));
  return text;
}

// Shift-JIS as Windows reads it (codepage 932). ICU's converter of that name
// carries IBM's table (ibm-943_P15A-2003), which differs from Windows' in
// single bytes: it swaps the control characters 0x1A, 0x1C and 0x7F, and
// leaves 0x80, 0xA0 and 0xFD to 0xFF unassigned, which Windows reads as
// U+0080 and U+F8F0 to U+F8F3; no converter ICU ships reads them as
// Windows does (nor does the C library's for the last five). Those bytes,
// where they stand on their own, are read here; everything between them
// by the converter.
constexpr std::uint16_t kShiftJisCodepage = 932;

std::string DecodeShiftJis(std::string_view bytes) {
  const auto windows_single_byte = [](unsigned char byte) -> gunichar {
    switch (byte) {
      case 0x1A:
      case 0x1C:
      case 0x7F:
      case 0x80:
        return byte;
      case 0xA0:
        return 0xF8F0;
      case 0xFD:
      case 0xFE:
      case 0xFF:
        return 0xF8F1 + (byte - 0xFD);
      default:
        return 0;
    }
  };
  const auto first_of_two = [](unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
  };
  const auto second_of_two = [](unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
  };
  std::string text;
  std::size_t run = 0;  // where the bytes the converter reads next begin
  for (std::size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (first_of_two(byte) && i + 1 < bytes.size() &&
        second_of_two(static_cast<unsigned char>(bytes[i + 1]))) {
      i += 2;
      continue;
    }
    const gunichar own = windows_single_byte(byte);
    if (own == 0) {
      ++i;
      continue;
    }
    text += DecodeByConverter(bytes.substr(run, i - run), kShiftJisCodepage);
    char utf8[6];
    text.append(utf8, static_cast<std::size_t>(g_unichar_to_utf8(own, utf8)));
    run = ++i;
  }
  return text + DecodeByConverter(bytes.substr(run), kShiftJisCodepage);
}

}  // namespace

std::string DecodeCodepage(std::string_view bytes, std::uint16_t codepage) {
  if (codepage == kShiftJisCodepage) return DecodeShiftJis(bytes);
  return DecodeByConverter(bytes, codepage);
}

std::optional<std::string> EncodeCodepage(std::string_view text, std::uint16_t codepage) {
  Converter converter = OpenConverter(codepage);
  if (!converter) return std::nullopt;
  const IcuFunctions& icu = *Icu();
  UErrorCode status = U_ZERO_ERROR;
  icu.ucnv_setFromUCallBack(converter.get(), icu.UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                            &status);
  int32_t count = 0;
  status = U_ZERO_ERROR;
  icu.u_strFromUTF8(nullptr, 0, &count, text.data(), static_cast<int32_t>(text.size()), &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return std::nullopt;
  std::u16string units(static_cast<std::size_t>(count), u'\0');
  status = U_ZERO_ERROR;
  icu.u_strFromUTF8(units.data(), count, nullptr, text.data(), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;
  // A character takes at most two bytes in these codepages.
  std::string bytes(2 * units.size() + 1, '\0');
  status = U_ZERO_ERROR;
  const int32_t length = icu.ucnv_fromUChars(
      converter.get(), bytes.data(), static_cast<int32_t>(bytes.size()), units.data(), count, &status);
  if (U_FAILURE(status)) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(length));
  return bytes;
}

std::string CodepageName(std::uint16_t codepage) {
  switch (codepage) {
    case 932:
      return "Shift-JIS";
    case 936:
      return "GBK";
    case 949:
      return "Korean UHC";
    case 950:
      return "Big5";
    default:
      return "Windows-" + std::to_string(codepage);
  }
}

std::optional<std::uint16_t> LikelyCodepage(std::string_view bytes) {
  const IcuDetectorFunctions* icu = IcuDetector();
  if (icu == nullptr || bytes.empty() || bytes.size() > 0x7FFFFFFF) return std::nullopt;
  // The charsets the detector names, as the Windows codepage that holds the
  // same letters; the ones that have none are passed over.
  static constexpr std::pair<const char*, std::uint16_t> kWindowsCodepages[] = {
      {"ISO-8859-1", 1252},   {"windows-1252", 1252}, {"ISO-8859-2", 1250},   {"windows-1250", 1250},
      {"ISO-8859-5", 1251},   {"windows-1251", 1251}, {"ISO-8859-7", 1253},   {"windows-1253", 1253},
      {"ISO-8859-9", 1254},   {"windows-1254", 1254}, {"ISO-8859-8", 1255},   {"ISO-8859-8-I", 1255},
      {"windows-1255", 1255}, {"ISO-8859-6", 1256},   {"windows-1256", 1256}, {"Shift_JIS", 932},
      {"GB18030", 936},       {"EUC-KR", 949},        {"Big5", 950},
  };
  UErrorCode status = U_ZERO_ERROR;
  UCharsetDetector* detector = icu->ucsdet_open(&status);
  if (U_FAILURE(status) || detector == nullptr) return std::nullopt;
  std::optional<std::uint16_t> likely;
  icu->ucsdet_setText(detector, bytes.data(), static_cast<std::int32_t>(bytes.size()), &status);
  std::int32_t count = 0;
  const UCharsetMatch** matches =
      U_SUCCESS(status) ? icu->ucsdet_detectAll(detector, &count, &status) : nullptr;
  // The best match alone, and only when the detector is fairly sure of it:
  // below that it takes Polish for Western European.
  constexpr std::int32_t kSureEnough = 50;
  if (U_SUCCESS(status) && matches != nullptr && count > 0 &&
      icu->ucsdet_getConfidence(matches[0], &status) >= kSureEnough) {
    const char* name = icu->ucsdet_getName(matches[0], &status);
    for (const auto& [charset, codepage] : kWindowsCodepages) {
      if (U_SUCCESS(status) && name != nullptr && std::strcmp(name, charset) == 0) likely = codepage;
    }
  }
  icu->ucsdet_close(detector);
  return likely;
}

}  // namespace setupdata
