// Pixel buffers for converted pictures. A buffer handed out is shared by the
// records that show it and comes back to the pool when the last of them is
// gone, so a new picture is always written into a buffer nobody reads, and
// the steady state allocates nothing.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "media/picture_record.h"

namespace kx {

class CPicturePool {
 public:
  CPicturePool();
  // A buffer of `bytes` bytes that no record holds. The caller writes it,
  // then shares it (as const) with the records.
  std::shared_ptr<PicturePixels> Acquire(size_t bytes);
  // Buffers waiting for reuse (for tests and the log).
  size_t FreeCount() const;
  // Buffers allocated since creation.
  size_t AllocatedCount() const;

 private:
  struct State {
    mutable std::mutex mutex;
    std::vector<std::unique_ptr<PicturePixels>> free;
    size_t allocated = 0;
  };
  // Shared with the deleters of buffers still out, so a record may outlive the pool.
  std::shared_ptr<State> m_state;
};

}  // namespace kx
