// The version comparison of the update check and the parse of the version
// document the maker publishes. Plain logic: no network, no Qt.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kx {

// The three numbers that take part in a comparison. The document's
// attributes are signed 32-bit integers, so the installed numbers are too.
struct KxVersion {
  int32_t nMajor = 0;
  int32_t nMinor = 0;
  int32_t nBuild = 0;
  bool operator==(const KxVersion&) const = default;
};

// What the document publishes: the version and the download link.
struct KxPublishedVersion {
  KxVersion ver;
  std::string strLink;  // UTF-8, as written in the document
};

// The installed product version ("01.00.0040.0000" reads 1, 0, 40): split at
// '.', empty pieces skipped, each piece read as a decimal number the way the C
// library does (leading zeros and a sign allowed, digits up to the first
// non-digit, no digits at all give 0, out of range clamps to the int32 limits).
// Only the first three numbers count; a missing one is 0.
KxVersion ParseProductVersion(std::string_view text);

// The version document: root element "Ver" with the attributes Major, Minor,
// Build (integers, 0 when missing or not a number) and Link (empty when
// missing). Nothing when the bytes are empty, are not well-formed XML or have
// no "Ver" element at the top.
std::optional<KxPublishedVersion> ParseVersionDocument(std::string_view bytes);

// The published version is newer when its major number is greater, or the
// majors are equal and its minor is greater, or both are equal and its build
// is greater.
bool IsNewerVersion(const KxVersion& published, const KxVersion& installed);

}  // namespace kx
