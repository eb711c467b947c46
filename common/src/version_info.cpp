#include "common/version_info.h"

#include <filesystem>
#include <system_error>

#include "kxSystem.h"

#ifndef KX_PRODUCT_VERSION
#error "KX_PRODUCT_VERSION comes from the top CMakeLists.txt"
#endif

namespace kx {

namespace {

struct VersionEntry {
  const char16_t* name;
  const char* value;  // UTF-8
};

constexpr VersionEntry kVersionTable[] = {
    {u"ProductVersion", KX_PRODUCT_VERSION},
    {u"FileDescription", KX_FILE_DESCRIPTION},
    {u"LegalCopyright", KX_LEGAL_COPYRIGHT},
    {u"CompanyName", KX_COMPANY_NAME},
};

bool IsThisModule(const std::u16string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  const std::filesystem::path self("/proc/self/exe");
  return std::filesystem::equivalent(std::filesystem::path(ConvertUnicodeToUTF8(path)), self, ec) && !ec;
}

}  // namespace

std::u16string ModulePath() {
  std::error_code ec;
  const auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::u16string() : ConvertUTF8ToUnicode(p.string());
}

std::u16string GetVersionInfoString(const std::u16string& path, const std::u16string& name) {
  if (!IsThisModule(path)) return {};
  for (const auto& e : kVersionTable)
    if (name == e.name) return ConvertUTF8ToUnicode(e.value);
  return {};
}

std::u16string GetLegalCopyright(const std::u16string& path) { return GetVersionInfoString(path, u"LegalCopyright"); }
std::u16string GetCompanyName(const std::u16string& path) { return GetVersionInfoString(path, u"CompanyName"); }
std::u16string GetFileDescription(const std::u16string& path) { return GetVersionInfoString(path, u"FileDescription"); }
std::u16string GetProductVersion(const std::u16string& path) { return GetVersionInfoString(path, u"ProductVersion"); }

}  // namespace kx
