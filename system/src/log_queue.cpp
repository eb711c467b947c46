#include <cstring>
#include <new>

#include "kxSystem.h"

namespace {

struct EntryHeader {
  int64_t time;
  uint32_t type;
  uint32_t length;  // UTF-16 units that follow
};

constexpr size_t kChunkBytes = 64 * 1024 - 32;
constexpr size_t kKeepFree = 64;  // 4 MB stay ready for the next burst: no page faults while logging

size_t EntrySize(size_t units) { return (sizeof(EntryHeader) + units * sizeof(char16_t) + 7) & ~size_t{7}; }

}  // namespace

struct CKxLogQueue::Chunk {
  Chunk* next;
  size_t used;
  alignas(8) unsigned char data[kChunkBytes];
};

CKxLogQueue::~CKxLogQueue() {
  for (Chunk* list : {m_head, m_free}) {
    while (list != nullptr) {
      Chunk* next = list->next;
      delete list;
      list = next;
    }
  }
}

void CKxLogQueue::Push(int64_t time, kxLogEventType type, std::u16string_view text) {
  const size_t need = EntrySize(text.size());
  std::lock_guard<std::mutex> g(m_cs);
  if (m_tail == nullptr || m_tail->used + need > kChunkBytes) {
    Chunk* c = m_free;
    if (c != nullptr) {
      m_free = c->next;
      --m_freeCount;
    } else {
      c = new (std::nothrow) Chunk;
      if (c == nullptr) return;
    }
    c->next = nullptr;
    c->used = 0;
    (m_tail != nullptr ? m_tail->next : m_head) = c;
    m_tail = c;
  }
  unsigned char* at = m_tail->data + m_tail->used;
  const EntryHeader header{time, static_cast<uint32_t>(type), static_cast<uint32_t>(text.size())};
  std::memcpy(at, &header, sizeof header);
  std::memcpy(at + sizeof header, text.data(), text.size() * sizeof(char16_t));
  m_tail->used += need;
}

CKxLogQueue::Chunk* CKxLogQueue::Take() {
  Chunk* list = m_head;
  m_head = m_tail = nullptr;
  return list;
}

void CKxLogQueue::Drain(const Visit& visit) {
  Chunk* list;
  {
    std::lock_guard<std::mutex> g(m_cs);
    list = Take();
  }
  VisitAndRecycle(list, visit);
}

bool CKxLogQueue::Drain(uint64_t consumer, const Visit& visit) {
  Chunk* list;
  {
    std::lock_guard<std::mutex> g(m_cs);
    if (consumer != m_consumer) return false;
    list = Take();
  }
  VisitAndRecycle(list, visit);
  return true;
}

void CKxLogQueue::SetConsumer(uint64_t consumer) {
  std::lock_guard<std::mutex> g(m_cs);
  m_consumer = consumer;
}

void CKxLogQueue::VisitAndRecycle(Chunk* list, const Visit& visit) {
  std::u16string text;
  for (Chunk* c = list; c != nullptr; c = c->next) {
    for (size_t pos = 0; pos < c->used;) {
      EntryHeader header;
      std::memcpy(&header, c->data + pos, sizeof header);
      text.resize(header.length);
      std::memcpy(text.data(), c->data + pos + sizeof header, header.length * sizeof(char16_t));
      visit(header.time, static_cast<kxLogEventType>(header.type), text);
      pos += EntrySize(header.length);
    }
  }
  std::lock_guard<std::mutex> g(m_cs);
  while (list != nullptr) {
    Chunk* next = list->next;
    if (m_freeCount < kKeepFree) {
      list->next = m_free;
      m_free = list;
      ++m_freeCount;
    } else {
      delete list;
    }
    list = next;
  }
}
