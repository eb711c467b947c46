#include "app/version_check.h"

#include <climits>
#include <cstdlib>
#include <pugixml.hpp>

namespace kx {

namespace {

int32_t DecimalPiece(std::string_view piece) {
  // strtol needs a terminated string; a piece of a version string is short.
  const std::string s(piece);
  const long v = std::strtol(s.c_str(), nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

KxVersion ParseProductVersion(std::string_view text) {
  int32_t numbers[3] = {0, 0, 0};
  size_t count = 0;
  size_t pos = 0;
  while (count < 3 && pos <= text.size()) {
    size_t dot = text.find('.', pos);
    if (dot == std::string_view::npos) dot = text.size();
    if (dot > pos) numbers[count++] = DecimalPiece(text.substr(pos, dot - pos));
    pos = dot + 1;
  }
  return KxVersion{numbers[0], numbers[1], numbers[2]};
}

std::optional<KxPublishedVersion> ParseVersionDocument(std::string_view bytes) {
  if (bytes.empty()) return std::nullopt;
  pugi::xml_document doc;
  // The body comes as bytes: let pugixml find the encoding (BOM, declaration).
  if (!doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto)) return std::nullopt;
  const pugi::xml_node ver = doc.child("Ver");
  if (!ver) return std::nullopt;
  KxPublishedVersion out;
  out.ver.nMajor = ver.attribute("Major").as_int(0);
  out.ver.nMinor = ver.attribute("Minor").as_int(0);
  out.ver.nBuild = ver.attribute("Build").as_int(0);
  out.strLink = ver.attribute("Link").as_string("");
  return out;
}

bool IsNewerVersion(const KxVersion& published, const KxVersion& installed) {
  if (published.nMajor != installed.nMajor) return published.nMajor > installed.nMajor;
  if (published.nMinor != installed.nMinor) return published.nMinor > installed.nMinor;
  return published.nBuild > installed.nBuild;
}

}  // namespace kx
