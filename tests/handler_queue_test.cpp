// The dialog's handlers run one at a time: whatever arrives while one runs
// (also while it waits in a nested loop) waits until it has returned, and
// the user's own requests go before the page's events.
#include "browser/handler_queue.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace browser {
namespace {

using ::testing::ElementsAre;

void RunPending() {
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

TEST(HandlerQueue, HandlersWaitForTheRunningOneAndTheUserGoesFirst) {
  HandlerQueue queue;
  std::vector<std::string> order;
  const int page = 0;
  const int window = 0;
  queue.Post(&page, [&] {
    order.push_back("document complete: reads the body");
    // Meanwhile the page navigates and the user closes the window; a
    // nested loop runs while the body is awaited.
    queue.Post(&page, [&] { order.push_back("navigation"); });
    queue.Post(
        &window, [&] { order.push_back("close"); }, true);
    RunPending();
    order.push_back("body read");
  });
  queue.Post(&page, [&] { order.push_back("second document"); });
  RunPending();
  EXPECT_THAT(order, ElementsAre("document complete: reads the body", "body read", "close", "second document",
                                 "navigation"));
}

TEST(HandlerQueue, AnOwnerThatGoesTakesItsHandlersAlong) {
  HandlerQueue queue;
  std::vector<std::string> order;
  const int view = 0;
  const int window = 0;
  queue.Post(&view, [&] { order.push_back("view"); });
  queue.Post(
      &window, [&] { order.push_back("window"); }, true);
  queue.Forget(&view);
  RunPending();
  EXPECT_THAT(order, ElementsAre("window"));
  EXPECT_EQ(queue.pending(), 0u);
}

}  // namespace
}  // namespace browser
