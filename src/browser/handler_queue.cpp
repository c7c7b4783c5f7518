#include "browser/handler_queue.h"

#include <algorithm>
#include <utility>

namespace browser {

HandlerQueue::~HandlerQueue() {
  if (source_ != 0) g_source_remove(source_);
}

void HandlerQueue::Post(Owner owner, std::function<void()> handler, bool first) {
  (first ? user_ : page_).push_back(Entry{owner, std::move(handler)});
  Schedule();
}

void HandlerQueue::Forget(Owner owner) {
  const auto owned = [owner](const Entry& entry) { return entry.owner == owner; };
  std::erase_if(user_, owned);
  std::erase_if(page_, owned);
}

void HandlerQueue::Schedule() {
  if (source_ == 0 && !running_ && pending() > 0) source_ = g_idle_add(Drain, this);
}

gboolean HandlerQueue::Drain(gpointer self) {
  auto* queue = static_cast<HandlerQueue*>(self);
  queue->source_ = 0;
  if (queue->running_ || queue->pending() == 0) return G_SOURCE_REMOVE;
  std::deque<Entry>& from = queue->user_.empty() ? queue->page_ : queue->user_;
  Entry entry = std::move(from.front());
  from.pop_front();
  queue->running_ = true;
  entry.handler();
  queue->running_ = false;
  // One handler per turn of the main loop: drawing and input go between.
  queue->Schedule();
  return G_SOURCE_REMOVE;
}

}  // namespace browser
