#include "monitor/event_timeline.h"

#include <algorithm>
#include <cstdio>

namespace kx::measure {

void CEventTimeline::Begin(TimelineEvent event) {
  if (m_listener.started) m_listener.started(event);
  if (event.kind == "drop")
    m_drop = std::move(event);
  else if (event.kind == "silence")
    m_silence = std::move(event);
  else
    m_clipping = std::move(event);
}

void CEventTimeline::End(TimelineEvent& open, double now) {
  open.durationSeconds = std::max(0.0, now - open.atSeconds);
  if (m_listener.ended) m_listener.ended(open);
  m_events.push_back(std::move(open));
  open = {};
}

void CEventTimeline::Look(double now, const CameraLook& look) {
  m_lastLook = now;
  if (look.up) {
    if (!m_drop.kind.empty()) End(m_drop, now);
    m_everUp = true;
  } else if (m_everUp && m_drop.kind.empty()) {
    Begin({now, "drop", 0, 0});
  }
  if (look.reconnections > m_reconnections) {
    TimelineEvent moment{now, "reconnection", 0, look.reconnections - m_reconnections};
    m_reconnections = look.reconnections;
    if (m_listener.ended) m_listener.ended(moment);
    m_events.push_back(std::move(moment));
  }
  // A silence is dated from where it began, not from when it reached 2 s.
  if (!std::isnan(look.silenceSeconds)) {
    const bool silent = look.up && look.silenceSeconds >= kSilenceSeconds;
    if (silent && m_silence.kind.empty()) Begin({std::max(0.0, now - look.silenceSeconds), "silence", 0, 0});
    if (!silent && !m_silence.kind.empty()) End(m_silence, now);
  }
  if (look.clippedSamples >= 0) {
    // Fewer than counted: the measurements started again (a new camera, a reset).
    if (look.clippedSamples < m_clippedBefore + m_clipping.count) {
      if (!m_clipping.kind.empty()) End(m_clipping, now);
      m_clippedBefore = 0;
    }
    const int64_t added = look.clippedSamples - m_clippedBefore - m_clipping.count;
    if (added > 0) {
      if (m_clipping.kind.empty()) Begin({now, "clipping", 0, 0});
      m_clipping.count += added;
    } else if (!m_clipping.kind.empty()) {
      m_clippedBefore += m_clipping.count;
      End(m_clipping, now);
    }
  }
}

void CEventTimeline::Finish(double now) {
  for (TimelineEvent* open : {&m_drop, &m_silence, &m_clipping}) {
    if (open->kind.empty()) continue;
    if (open == &m_clipping) m_clippedBefore += m_clipping.count;
    End(*open, now);
  }
}

TimelineCounts CEventTimeline::Counts() const {
  TimelineCounts counts;
  auto add = [&counts](const TimelineEvent& e) {
    if (e.kind == "drop") {
      ++counts.drops;
      counts.longestDropSeconds = std::max(counts.longestDropSeconds, e.durationSeconds);
    } else if (e.kind == "reconnection") {
      counts.reconnections += static_cast<int>(e.count);
    } else if (e.kind == "silence") {
      ++counts.silences;
    } else if (e.kind == "clipping") {
      ++counts.clippingBursts;
    }
  };
  for (const auto& e : m_events) add(e);
  for (const TimelineEvent* open : {&m_drop, &m_silence, &m_clipping}) {
    if (open->kind.empty()) continue;
    TimelineEvent sofar = *open;
    sofar.durationSeconds = std::max(0.0, m_lastLook - open->atSeconds);
    add(sofar);
  }
  return counts;
}

std::string DescribeEvent(const TimelineEvent& event) {
  char text[160];
  int n = std::snprintf(text, sizeof text, "%s at %.1f s", event.kind.c_str(), event.atSeconds);
  if (event.durationSeconds > 0 && n > 0 && n < static_cast<int>(sizeof text))
    n += std::snprintf(text + n, sizeof text - n, " for %.1f s", event.durationSeconds);
  if (event.kind == "clipping" && event.count > 0 && n > 0 && n < static_cast<int>(sizeof text))
    std::snprintf(text + n, sizeof text - n, " (%lld samples)", static_cast<long long>(event.count));
  return text;
}

}  // namespace kx::measure
