#include "main_loop.h"

#include <glib.h>

namespace tools {

bool IterateUntil(const bool& done, unsigned seconds) {
  bool timed_out = false;
  const guint timer = g_timeout_add_seconds(
      seconds,
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &timed_out);
  while (!done && !timed_out) g_main_context_iteration(nullptr, TRUE);
  if (!timed_out) g_source_remove(timer);
  return done;
}

}  // namespace tools
