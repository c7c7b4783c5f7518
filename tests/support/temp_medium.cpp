#include "support/temp_medium.h"

#include <glib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace testing_support {

std::string InCodepage(std::string_view text, const char* charset) {
  gsize written = 0;
  gchar* bytes =
      g_convert(text.data(), static_cast<gssize>(text.size()), charset, "UTF-8", nullptr, &written, nullptr);
  if (bytes == nullptr) throw std::runtime_error(std::string("cannot write the text in ") + charset);
  std::string out(bytes, written);
  g_free(bytes);
  return out;
}

TempMedium::TempMedium() {
  gchar* dir = g_dir_make_tmp("medium-XXXXXX", nullptr);
  if (dir == nullptr) throw std::runtime_error("cannot make a temporary directory");
  dir_ = std::string(dir) + "/";
  g_free(dir);
}

TempMedium::~TempMedium() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string TempMedium::Write(std::string_view name, std::string_view bytes) const {
  const std::filesystem::path path = dir_ + std::string(name);
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

std::string TempMedium::MakeDir(std::string_view name) const {
  const std::filesystem::path path = dir_ + std::string(name);
  std::filesystem::create_directories(path);
  return path.string();
}

void TempMedium::Remove(std::string_view name) const {
  std::filesystem::remove_all(dir_ + std::string(name));
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* saved = std::getenv(name)) saved_ = saved;
  Set(value);
}

ScopedEnv::~ScopedEnv() { Set(saved_ ? saved_->c_str() : nullptr); }

void ScopedEnv::Set(const char* value) const { value ? setenv(name_, value, 1) : unsetenv(name_); }

}  // namespace testing_support
