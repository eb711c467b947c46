#include "site_report.h"

namespace kx::probe {

std::string Base64(const std::vector<uint8_t>& data) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((data.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < data.size(); i += 3) {
    const uint32_t v = uint32_t{data[i]} << 16 | uint32_t{data[i + 1]} << 8 | data[i + 2];
    for (int s = 18; s >= 0; s -= 6) out += kDigits[(v >> s) & 63];
  }
  if (const size_t rest = data.size() - i; rest > 0) {
    const uint32_t v = uint32_t{data[i]} << 16 | (rest > 1 ? uint32_t{data[i + 1]} << 8 : 0);
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += rest > 1 ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

std::string EscapeHtml(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

namespace {

const char* ToneClass(CardTone tone) {
  switch (tone) {
    case CardTone::Ok: return "ok";
    case CardTone::Warning: return "warning";
    case CardTone::Fault: return "fault";
  }
  return "fault";
}

void Picture(std::string& html, const std::vector<uint8_t>& png, const char* alt, const char* none) {
  if (png.empty()) {
    html += "<div class=\"none\">" + std::string(none) + "</div>\n";
    return;
  }
  html += "<img alt=\"" + std::string(alt) + "\" src=\"data:image/png;base64," + Base64(png) + "\">\n";
}

}  // namespace

std::string SiteReportHtml(const std::string& title, const std::string& generated, const std::vector<ReportCard>& cards) {
  int counts[3] = {0, 0, 0};
  for (const auto& c : cards) ++counts[static_cast<int>(c.tone)];
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
      EscapeHtml(title) +
      "</title>\n<style>\n"
      "body{font-family:sans-serif;margin:1em;background:#f4f5f7;color:#1d2330}\n"
      "h1{font-size:1.4em;margin:0 0 .2em}\n.sum{margin:0 0 1em;color:#505a6a}\n"
      ".cards{display:grid;grid-template-columns:repeat(auto-fill,minmax(300px,1fr));gap:1em}\n"
      ".card{background:#fff;border-radius:6px;border-top:6px solid #888;padding:.8em;overflow-wrap:anywhere}\n"
      ".card.ok{border-color:#2e8b57}.card.warning{border-color:#d89b00}.card.fault{border-color:#c62828}\n"
      ".card h2{font-size:1.1em;margin:0}.addr{font-size:.85em;color:#505a6a;margin:.2em 0 .5em}\n"
      ".status{font-weight:bold;text-transform:uppercase;font-size:.9em}\n"
      ".ok .status{color:#2e8b57}.warning .status{color:#a87700}.fault .status{color:#c62828}\n"
      "img{width:100%;height:auto;display:block;margin:.4em 0;border-radius:3px}\n"
      ".none{background:#e3e6eb;color:#707a8a;text-align:center;padding:2em 0;margin:.4em 0;border-radius:3px}\n"
      "table{border-collapse:collapse;width:100%;font-size:.9em}td{padding:.1em .3em;vertical-align:top}\n"
      "td:first-child{color:#505a6a;white-space:nowrap}ul{margin:.4em 0;padding-left:1.2em}\n"
      "</style>\n</head>\n<body>\n<h1>" +
      EscapeHtml(title) + "</h1>\n<p class=\"sum\">" + EscapeHtml(generated) + " &middot; " +
      std::to_string(cards.size()) + " cameras: " + std::to_string(counts[0]) + " ok, " + std::to_string(counts[1]) +
      " warning, " + std::to_string(counts[2]) + " fault</p>\n<div class=\"cards\">\n";
  for (const auto& c : cards) {
    html += "<section class=\"card " + std::string(ToneClass(c.tone)) + "\">\n<h2>" + EscapeHtml(c.name) +
            "</h2>\n<div class=\"addr\">" + EscapeHtml(c.address) + "</div>\n<div class=\"status\">" +
            EscapeHtml(c.status) + "</div>\n";
    Picture(html, c.snapshotPng, "picture", "no picture");
    Picture(html, c.spectrumPng, "spectrum", "no sound");
    if (!c.findings.empty()) {
      html += "<ul>\n";
      for (const auto& f : c.findings) html += "<li>" + EscapeHtml(f) + "</li>\n";
      html += "</ul>\n";
    }
    html += "<table>\n";
    for (const auto& [label, value] : c.figures)
      html += "<tr><td>" + EscapeHtml(label) + "</td><td>" + EscapeHtml(value) + "</td></tr>\n";
    html += "</table>\n</section>\n";
  }
  html += "</div>\n</body>\n</html>\n";
  return html;
}

}  // namespace kx::probe
