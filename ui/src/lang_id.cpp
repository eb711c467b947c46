#include "ui/lang_id.h"

#include <algorithm>
#include <iterator>

namespace kx {

namespace {

struct LangEntry {
  uint16_t id;
  const char* locale;  // language_TERRITORY; the first entry of a language is its default
};

constexpr LangEntry kLangs[] = {
    {1033, "en_US"}, {2057, "en_GB"}, {3081, "en_AU"}, {4105, "en_CA"},  {1049, "ru_RU"}, {1058, "uk_UA"},
    {1059, "be_BY"}, {1031, "de_DE"}, {3079, "de_AT"}, {2055, "de_CH"},  {1036, "fr_FR"}, {3084, "fr_CA"},
    {3082, "es_ES"}, {2058, "es_MX"}, {1040, "it_IT"}, {1045, "pl_PL"},  {1029, "cs_CZ"}, {1051, "sk_SK"},
    {1046, "pt_BR"}, {2070, "pt_PT"}, {1043, "nl_NL"}, {1053, "sv_SE"},  {1044, "nb_NO"}, {1030, "da_DK"},
    {1035, "fi_FI"}, {1038, "hu_HU"}, {1048, "ro_RO"}, {1026, "bg_BG"},  {1050, "hr_HR"}, {2074, "sr_RS"},
    {1060, "sl_SI"}, {1061, "et_EE"}, {1062, "lv_LV"}, {1063, "lt_LT"},  {1055, "tr_TR"}, {1032, "el_GR"},
    {1037, "he_IL"}, {1025, "ar_SA"}, {1065, "fa_IR"}, {1081, "hi_IN"},  {1041, "ja_JP"}, {1042, "ko_KR"},
    {2052, "zh_CN"}, {1028, "zh_TW"}, {1054, "th_TH"}, {1066, "vi_VN"},  {1057, "id_ID"}, {1087, "kk_KZ"},
    {1091, "uz_UZ"}, {1068, "az_AZ"}, {1079, "ka_GE"}, {1067, "hy_AM"},  {1064, "tg_TJ"}, {1088, "ky_KG"},
};

constexpr uint16_t Primary(uint32_t id) { return static_cast<uint16_t>(id & 0x3FF); }

std::string_view LanguagePart(std::string_view locale) { return locale.substr(0, locale.find_first_of("_-.@")); }

}  // namespace

std::string LocaleNameFromLangId(uint32_t langId) {
  if (langId == 0 || langId > 0xFFFF) return {};
  for (const LangEntry& e : kLangs)
    if (e.id == langId) return e.locale;
  for (const LangEntry& e : kLangs)
    if (Primary(e.id) == Primary(langId)) return e.locale;
  return {};
}

uint16_t LangIdFromLocaleName(std::string_view name) {
  name = name.substr(0, name.find_first_of(".@"));  // "ru_RU.UTF-8" -> "ru_RU"
  const std::string_view language = LanguagePart(name);
  if (language.empty()) return 0;
  std::string normal(name);
  std::replace(normal.begin(), normal.end(), '-', '_');
  for (const LangEntry& e : kLangs)
    if (normal == e.locale) return e.id;
  for (const LangEntry& e : kLangs)
    if (LanguagePart(e.locale) == language) return e.id;
  return 0;
}

}  // namespace kx
