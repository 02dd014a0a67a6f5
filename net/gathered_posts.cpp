#include "net/gathered_posts.h"

#include <vector>

#include "base/base_thread.h"

namespace {

struct Gathered {
  CBaseThread* sender = nullptr;
  PostTarget target = nullptr;
  std::uint32_t id = 0;
  const char* tag = "";
  // Keeps its room from pass to pass.
  std::vector<std::uint8_t> payload;
};

Gathered& ThisThreadsPosts() {
  thread_local Gathered gathered;
  return gathered;
}

}  // namespace

bool GatherPost(CBaseThread* sender, PostTarget target, std::uint32_t id, std::span<const std::uint8_t> payload,
                std::size_t limit, const char* callerTag) {
  if (target == nullptr || payload.size() > limit) return false;
  Gathered& gathered = ThisThreadsPosts();
  if (!gathered.payload.empty() &&
      (gathered.target != target || gathered.id != id || gathered.payload.size() + payload.size() > limit)) {
    PostGatheredPosts();
  }
  gathered.sender = sender;
  gathered.target = target;
  gathered.id = id;
  gathered.tag = callerTag != nullptr ? callerTag : "";
  gathered.payload.insert(gathered.payload.end(), payload.begin(), payload.end());
  return true;
}

void PostGatheredPosts() {
  Gathered& gathered = ThisThreadsPosts();
  if (gathered.payload.empty()) return;
  // Emptied first: a post that waits for room must not see the payload half sent.
  std::vector<std::uint8_t> payload;
  payload.swap(gathered.payload);
  if (CBaseThread* target = gathered.target(); target != nullptr) {
    CBaseThread::PostData(gathered.sender, target, gathered.id, 0, static_cast<std::uint32_t>(payload.size()),
                          payload.data(), gathered.tag);
  }
  payload.clear();
  gathered.payload.swap(payload);
}
