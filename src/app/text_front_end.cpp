// The dialog in words on a terminal: each page as a heading and numbered
// choices (those besides the languages and databases lettered too, in the
// medium's own words), answered with a line. Plain lines only, written as
// they come, so that a braille or speech console reads them in order.
#include <fcntl.h>
#include <glib.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/dialog_in_words.h"
#include "app/front_ends.h"
#include "app/terminal_text.h"
#include "pages/page_contract.h"
#include "setupdata/text.h"

namespace app {
namespace {

constexpr int kDefaultWidth = 80;
// A line longer than this is no answer; it is dropped as it comes.
constexpr std::size_t kMaxAnswerBytes = 4096;

// Ctrl+C reaches the read loop through a pipe: the handler writes a byte,
// and the loop waits for the terminal and the pipe together, so that an
// interruption that comes just before the wait is not lost.
int g_interrupt_pipe[2] = {-1, -1};

void OnInterrupt(int) {
  const int saved = errno;
  if (g_interrupt_pipe[1] >= 0) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = write(g_interrupt_pipe[1], &byte, 1);
  }
  errno = saved;
}

class Terminal {
 public:
  enum class Input { kLine, kEnd, kInterrupt };

  explicit Terminal(int fd) : fd_(fd) {
    // Answers are read a line at a time, as typed and seen (Return ends a
    // line, as a line end), and lines are written as lines (a line end
    // returns the carriage): a terminal left in another mode by an earlier
    // program, raw for one, is put in this one for the run and back after.
    if (tcgetattr(fd_, &saved_mode_) == 0) {
      termios mode = saved_mode_;
      mode.c_lflag |= ICANON | ECHO | ISIG;
      mode.c_iflag |= ICRNL;
      mode.c_iflag &= ~(IGNCR | INLCR);
      mode.c_oflag |= OPOST | ONLCR;
      if (mode.c_lflag != saved_mode_.c_lflag || mode.c_iflag != saved_mode_.c_iflag ||
          mode.c_oflag != saved_mode_.c_oflag) {
        restore_mode_ = tcsetattr(fd_, TCSANOW, &mode) == 0;
      }
    }
    if (pipe2(g_interrupt_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
      struct sigaction action {};
      action.sa_handler = OnInterrupt;
      sigemptyset(&action.sa_mask);
      handler_set_ = sigaction(SIGINT, &action, &saved_action_) == 0;
    }
  }

  ~Terminal() {
    if (handler_set_) sigaction(SIGINT, &saved_action_, nullptr);
    for (int& fd : g_interrupt_pipe) {
      if (fd >= 0) close(fd);
      fd = -1;
    }
    // At once: what was written has been put in lines already, and a
    // terminal that does not take its output must not hold the end up.
    if (restore_mode_) tcsetattr(fd_, TCSANOW, &saved_mode_);
  }

  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  void Write(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t n = write(fd_, bytes.data(), bytes.size());
      if (n > 0) {
        bytes.remove_prefix(static_cast<std::size_t>(n));
      } else if (n < 0 && errno != EINTR) {
        return;  // the terminal went away: nobody reads it any more
      }
    }
  }

  // A text of the medium on lines of its own, after `prefix`.
  void Say(std::string_view text, std::string_view prefix = {}) {
    Write(WrapText(setupdata::PrintableText(text), Width(), prefix));
  }

  // A question: its text, then the answers it takes, and the answer is
  // typed on the same line.
  void Ask(std::string_view text, std::string_view answers) {
    std::string lines = WrapText(setupdata::PrintableText(text) + " " + std::string(answers), Width());
    lines.back() = ' ';
    Write(lines);
  }

  // Whether Ctrl+C has come since it was last asked, without waiting.
  bool TakeInterrupt() {
    if (g_interrupt_pipe[0] < 0) return false;
    char drain[16];
    bool came = false;
    while (read(g_interrupt_pipe[0], drain, sizeof drain) > 0) came = true;
    return came;
  }

  // Waits for a line typed on the terminal (without its line end), the end
  // of input (Ctrl+D, or a terminal that went away), or Ctrl+C.
  Input ReadLine(std::string& line) {
    while (true) {
      const std::size_t end = pending_.find('\n');
      if (end != std::string::npos) {
        line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return Input::kLine;
      }
      pollfd ready[2] = {{fd_, POLLIN, 0}, {g_interrupt_pipe[0], POLLIN, 0}};
      if (poll(ready, g_interrupt_pipe[0] >= 0 ? 2 : 1, -1) < 0) {
        if (errno == EINTR) continue;
        return Input::kEnd;
      }
      if (ready[1].revents & POLLIN) {
        char drain[16];
        while (read(g_interrupt_pipe[0], drain, sizeof drain) > 0) {
        }
        pending_.clear();
        return Input::kInterrupt;
      }
      char buffer[512];
      const ssize_t n = read(fd_, buffer, sizeof buffer);
      if (n > 0) {
        pending_.append(buffer, static_cast<std::size_t>(n));
        if (pending_.size() > kMaxAnswerBytes && pending_.find('\n') == std::string::npos) pending_.clear();
      } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
        pending_.clear();
        return Input::kEnd;
      }
    }
  }

 private:
  int Width() const {
    winsize size{};
    if (ioctl(fd_, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return kDefaultWidth;
  }

  int fd_;
  std::string pending_;
  termios saved_mode_{};
  bool restore_mode_ = false;
  struct sigaction saved_action_ {};
  bool handler_set_ = false;
};

// The system as the terminal's dialog reaches it: the release notes open
// in the desktop's program only where there is a desktop to show it.
class TerminalSystem final : public ForwardingSystem {
 public:
  using ForwardingSystem::ForwardingSystem;
  bool OpenWithDefaultHtmlProgram(const std::string& path) override {
    if (!DisplayNamed()) return false;
    return system_.OpenWithDefaultHtmlProgram(path);
  }
};

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t\r");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The key column of a choice: "  1  ", "  6 v  ".
std::string KeyPrefix(std::string_view key) { return "  " + std::string(key) + "  "; }

// The close question's yes and no as the user's locale has them (the C
// library's words and patterns for LC_MESSAGES): shown in its words, taken
// by its patterns, and "y" and "n" always. A locale the system lacks has
// none: then "y" and "n" only.
class YesNo {
 public:
  YesNo() : locale_(newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, "", nullptr)) {}
  ~YesNo() {
    if (locale_ != nullptr) freelocale(locale_);
  }
  YesNo(const YesNo&) = delete;
  YesNo& operator=(const YesNo&) = delete;

  // "ja" and "nein"; "y" and "n" where the locale has no words.
  std::string Yes() const { return Word(YESSTR, "y"); }
  std::string No() const { return Word(NOSTR, "n"); }
  // IDYES, IDNO, or 0 for an answer that is neither.
  int Read(const std::string& answer) const {
    if (answer == "y" || answer == "Y") return IDYES;
    if (answer == "n" || answer == "N") return IDNO;
    if (locale_ == nullptr || answer.empty()) return 0;
    const locale_t previous = uselocale(locale_);
    const int read = rpmatch(answer.c_str());
    uselocale(previous);
    return read == 1 ? IDYES : read == 0 ? IDNO : 0;
  }

 private:
  std::string Word(nl_item item, const char* otherwise) const {
    const char* word = locale_ != nullptr && BothNamed() ? nl_langinfo_l(item, locale_) : nullptr;
    return word != nullptr && *word != '\0' ? word : otherwise;
  }
  // Both words, or neither: a locale that names one only shows "y/n".
  bool BothNamed() const {
    return *nl_langinfo_l(YESSTR, locale_) != '\0' && *nl_langinfo_l(NOSTR, locale_) != '\0';
  }

  locale_t locale_;
};

// A choice besides the page's numbered ones (the release notes, Back,
// Exit): chosen by its number, which follows theirs, or by the first
// letter of its own words where no other such choice starts with it.
struct ActionKey {
  const pages::PageItem* item;
  std::string number;
  std::string letter;  // folded; empty when it has none of its own
};

std::vector<ActionKey> ActionKeys(const PageInWords& page) {
  using Kind = pages::PageItem::Kind;
  std::size_t count = page.Of(page.page == pages::Page::kDatabase ? Kind::kDatabase : Kind::kLanguage).size();
  std::vector<ActionKey> keys;
  for (const pages::PageItem& item : page.items) {
    if (item.kind != Kind::kReleaseNotes && item.kind != Kind::kBack && item.kind != Kind::kExit) continue;
    ActionKey key{&item, std::to_string(++count), {}};
    if (g_utf8_validate(item.text.data(), static_cast<gssize>(item.text.size()), nullptr)) {
      for (const char* c = item.text.c_str(); *c != '\0'; c = g_utf8_next_char(c)) {
        if (!g_unichar_isalpha(g_utf8_get_char(c))) continue;
        key.letter = Folded(std::string_view(c, static_cast<std::size_t>(g_utf8_next_char(c) - c)));
        break;
      }
    }
    keys.push_back(std::move(key));
  }
  // Two such choices with the same first letter keep their numbers only.
  std::vector<std::size_t> same(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    for (const ActionKey& other : keys) same[i] += other.letter == keys[i].letter;
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (same[i] > 1) keys[i].letter.clear();
  }
  return keys;
}

class TextFrontEnd {
 public:
  TextFrontEnd(const FrontEndContext& context, int tty_fd)
      : terminal_(tty_fd),
        system_(context.system),
        run_(
            context.module_dir, system_, context.languages,
            [this](const std::string& text, const std::string& caption, MessageBoxType type) {
              return MessageBox(text, caption, type);
            },
            [this](const std::string& path) { ShowFile(path); },
            [this](const ProgressBoxText* text, const ProgressState* state) {
              return ShowCheck(text, state);
            }) {}

  int Run() {
    run_.Start();
    int shown = 0;
    while (!run_.Ended()) {
      if (interrupted_) {
        // Ctrl+C is a Yes to the close question.
        run_.Close();
        if (!run_.Ended()) break;
        continue;
      }
      const std::optional<PageInWords>& page = run_.Page();
      if (!page || page->page == pages::Page::kOther) {
        // Nothing to show or answer: the window would show its view's
        // error page, which can only be closed.
        system_.SayError(run_.LoadFailure().empty() ? "the launcher's pages show nothing to choose"
                                                    : run_.LoadFailure());
        return kPageUnusableStatus;
      }
      if (run_.PagesShown() != shown) {
        shown = run_.PagesShown();
        Show(*page, true);
      }
      terminal_.Write("> ");
      std::string line;
      switch (terminal_.ReadLine(line)) {
        case Terminal::Input::kInterrupt:
          terminal_.Write("\n");
          interrupted_ = true;
          break;
        case Terminal::Input::kEnd:
          terminal_.Write("\n");
          run_.Close();
          break;
        case Terminal::Input::kLine:
          if (!Answer(*page, Trimmed(line))) terminal_.Say(Takes(*page));
          break;
      }
    }
    return run_.ExitStatus();
  }

 private:
  // The page's texts in its own order: headings as lines, each choice
  // after its key.
  void Show(const PageInWords& page, bool new_page) {
    using Kind = pages::PageItem::Kind;
    if (new_page) {
      if (!caption_shown_ && !run_.Caption().empty()) terminal_.Say(run_.Caption());
      if (caption_shown_ || !run_.Caption().empty()) terminal_.Write("\n");
      caption_shown_ = true;
    }
    if (page.links_made_by_script) terminal_.Say(kLinksByScript);
    int language = 0;
    int database = 0;
    const std::vector<ActionKey> actions = ActionKeys(page);
    const auto action_prefix = [&actions](const pages::PageItem& item) {
      for (const ActionKey& key : actions) {
        if (key.item == &item)
          return KeyPrefix(key.letter.empty() ? key.number : key.number + " " + key.letter);
      }
      return KeyPrefix("");
    };
    for (const pages::PageItem& item : page.items) {
      switch (item.kind) {
        case Kind::kHeading:
          terminal_.Say(item.text);
          break;
        case Kind::kLanguage:
          terminal_.Say(item.text, KeyPrefix(std::to_string(++language)));
          break;
        case Kind::kDatabase: {
          // The option the page checks is marked before its key.
          const std::string key = std::to_string(++database);
          terminal_.Say(item.text,
                        item.database == page.checked_database ? "* " + key + "  " : KeyPrefix(key));
          break;
        }
        case Kind::kNext:
          terminal_.Say(item.text, KeyPrefix("[Enter]"));
          break;
        case Kind::kReleaseNotes:
          terminal_.Say(item.text, action_prefix(item));
          notes_label_ = item.text;
          break;
        case Kind::kBack:
        case Kind::kExit:
          terminal_.Say(item.text, action_prefix(item));
          break;
      }
    }
  }

  // Acts on an answer; false when it is none of the page's.
  bool Answer(const PageInWords& page, const std::string& answer) {
    using Kind = pages::PageItem::Kind;
    if (page.page == pages::Page::kDatabase && answer.empty()) return run_.ChooseDatabase("");
    const std::string folded = Folded(answer);
    const std::vector<ActionKey> actions = ActionKeys(page);
    bool q_taken = false;
    for (const ActionKey& key : actions) {
      q_taken = q_taken || key.letter == "q";
      if (answer != key.number && (key.letter.empty() || folded != key.letter)) continue;
      if (key.item->kind == Kind::kReleaseNotes) {
        run_.OpenReleaseNotes();
      } else if (key.item->kind == Kind::kBack) {
        run_.GoBack();
      } else {
        run_.Exit();
      }
      return true;
    }
    // q leaves, as in most programs on a terminal, where no choice of the
    // page takes it for its own.
    if (folded == "q" && !q_taken) {
      run_.Exit();
      return true;
    }
    if (answer.empty() || answer.size() > 3 || answer.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    const std::size_t number = std::stoul(answer);
    const std::vector<const pages::PageItem*> choices =
        page.Of(page.page == pages::Page::kDatabase ? Kind::kDatabase : Kind::kLanguage);
    if (number < 1 || number > choices.size()) return false;
    if (page.page == pages::Page::kDatabase) return run_.ChooseDatabase(choices[number - 1]->database);
    run_.ChooseLanguage(number - 1);
    return true;
  }

  // The answers a page takes, on one line: "[1-5, 6 v, 7 b]".
  static std::string Takes(const PageInWords& page) {
    using Kind = pages::PageItem::Kind;
    const bool database = page.page == pages::Page::kDatabase;
    const std::size_t count = page.Of(database ? Kind::kDatabase : Kind::kLanguage).size();
    std::vector<std::string> takes;
    if (count == 1) takes.emplace_back("1");
    if (count > 1) takes.push_back("1-" + std::to_string(count));
    if (database) takes.emplace_back("Enter");
    for (const ActionKey& key : ActionKeys(page))
      takes.push_back(key.letter.empty() ? key.number : key.number + " " + key.letter);
    std::string line = "[";
    for (const std::string& take : takes) line += (line.size() > 1 ? ", " : "") + take;
    return line + "]";
  }

  int MessageBox(const std::string& text, const std::string& caption, MessageBoxType type) {
    terminal_.Write("\n");
    if (!caption.empty()) terminal_.Say(caption);
    std::string line;
    if (type == MessageBoxType::kOkError) {
      if (interrupted_) {
        terminal_.Say(text);
        return IDOK;
      }
      terminal_.Ask(text, "[Enter]");
      const Terminal::Input input = terminal_.ReadLine(line);
      if (input != Terminal::Input::kLine) terminal_.Write("\n");
      // Ctrl+C at an error leaves, once the message has gone.
      if (input == Terminal::Input::kInterrupt) interrupted_ = true;
      return IDOK;
    }
    const std::string answers = "[" + yes_no_.Yes() + "/" + yes_no_.No() + "]";
    terminal_.Ask(text, answers);
    while (true) {
      if (interrupted_) {
        terminal_.Write(yes_no_.Yes() + "\n");
        return IDYES;
      }
      switch (terminal_.ReadLine(line)) {
        case Terminal::Input::kInterrupt:
          terminal_.Write("\n");
          return IDYES;
        case Terminal::Input::kEnd:
          // Nobody is left to answer: the end of input means leaving.
          terminal_.Write("\n");
          return IDYES;
        case Terminal::Input::kLine:
          break;
      }
      if (const int read = yes_no_.Read(Trimmed(line)); read != 0) return read;
      terminal_.Write(answers + " ");
    }
  }

  // The check of a sealed medium on one line, as it goes: its text, then
  // each tenth read ("Checking the setup files on the medium: 10% 20%"),
  // without moving the cursor. Ctrl+C cancels it.
  bool ShowCheck(const ProgressBoxText* text, const ProgressState* state) {
    if (text != nullptr) {
      terminal_.Write("\n" + setupdata::PrintableText(text->text) + ":");
      tenths_shown_ = 0;
    } else if (state != nullptr) {
      const int tenths = static_cast<int>(state->fraction * 10);
      while (tenths_shown_ < tenths && tenths_shown_ < 10)
        terminal_.Write(" " + std::to_string(++tenths_shown_ * 10) + "%");
      return terminal_.TakeInterrupt();
    } else {
      terminal_.Write("\n");
    }
    return false;
  }

  void ShowFile(const std::string& path) {
    terminal_.Say(notes_label_ + ":");
    terminal_.Write(setupdata::PrintableText(path) + "\n");
  }

  Terminal terminal_;
  TerminalSystem system_;
  DialogInWords run_;
  const YesNo yes_no_;
  bool interrupted_ = false;  // Ctrl+C: the close question is answered Yes
  bool caption_shown_ = false;
  std::string notes_label_;
  int tenths_shown_ = 0;  // of the check's progress line
};

}  // namespace

int RunTextFrontEnd(const FrontEndContext& context, int tty_fd) {
  TextFrontEnd front_end(context, tty_fd);
  return front_end.Run();
}

}  // namespace app
