// The dialog's handlers run one at a time on the user-interface thread,
// never inside one another. The view's events and the window's own requests
// (a close from the title bar, a posted close) are queued here and run from
// the main loop once no handler is running: a handler that waits for the
// web process, or shows a message box, spins a nested loop, and whatever
// arrives meanwhile waits until it has returned.
#pragma once

#include <glib.h>

#include <deque>
#include <functional>

namespace browser {

class HandlerQueue {
 public:
  HandlerQueue() = default;
  ~HandlerQueue();
  HandlerQueue(const HandlerQueue&) = delete;
  HandlerQueue& operator=(const HandlerQueue&) = delete;

  // Whose handler it is; Forget() drops an owner's handlers that have not run.
  using Owner = const void*;

  // Runs `handler` once no handler is running, after those posted before it.
  // The user's own requests go `first`, before the page's events: a page
  // that floods the view with navigations cannot keep a close waiting.
  void Post(Owner owner, std::function<void()> handler, bool first = false);
  void Forget(Owner owner);

  std::size_t pending() const { return user_.size() + page_.size(); }

 private:
  struct Entry {
    Owner owner;
    std::function<void()> handler;
  };
  static gboolean Drain(gpointer self);
  void Schedule();

  std::deque<Entry> user_;
  std::deque<Entry> page_;
  guint source_ = 0;
  bool running_ = false;
};

}  // namespace browser
