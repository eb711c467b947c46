// The site check's report page: one card per camera with its snapshot, its
// spectrum, its figures and its verdict in colour. Self-contained (styles
// inline, pictures as data: URLs), so it reads offline in any browser.
// Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kx::probe {

enum class CardTone { Ok, Warning, Fault };

struct ReportCard {
  std::string name;     // shown as given (already without passwords)
  std::string address;  // masked
  std::string status;   // "ok", "could not open", ...
  CardTone tone = CardTone::Ok;
  std::vector<uint8_t> snapshotPng;  // empty: no picture
  std::vector<uint8_t> spectrumPng;  // empty: no sound
  std::vector<std::pair<std::string, std::string>> figures;  // label, value
  std::vector<std::string> findings;                          // the verdict's lines, worst first
};

std::string Base64(const std::vector<uint8_t>& data);
std::string EscapeHtml(const std::string& text);
std::string SiteReportHtml(const std::string& title, const std::string& generated, const std::vector<ReportCard>& cards);

}  // namespace kx::probe
