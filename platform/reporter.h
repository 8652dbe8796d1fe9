#pragma once
// Message boxes: the numbered boxes of the message service are shown through a
// MessageReporter. The console form prints them and asks on the terminal; the
// scripted form answers from a queue and records what was shown (tests).

#include <deque>
#include <iosfwd>
#include <string>
#include <vector>

namespace dorvik::platform {

// Box results, as the platform's message boxes return them.
inline constexpr int kBoxOk = 1;
inline constexpr int kBoxCancel = 2;
inline constexpr int kBoxYes = 6;
inline constexpr int kBoxNo = 7;

enum class BoxButtons { Ok, OkCancel, YesNo, YesNoCancel, YesNoCancelHelp };
enum class BoxIcon { None, Stop, Question, Exclamation, Information };

struct MessageBox {
  std::string Caption;
  std::string Text;
  BoxButtons Buttons = BoxButtons::Ok;
  BoxIcon Icon = BoxIcon::None;
};

// Shows one modal box and returns the button pressed (kBox... values).
class MessageReporter {
 public:
  virtual ~MessageReporter() = default;
  virtual int ShowBox(const MessageBox& box) = 0;
};

// Prints "Caption: text" and, for a question, reads the answer from the input:
// y/n, y/n/c or o/c. End of input gives Cancel where the box has one, else No.
class ConsoleReporter : public MessageReporter {
 public:
  ConsoleReporter(std::istream& in, std::ostream& out) : in_(in), out_(out) {}
  int ShowBox(const MessageBox& box) override;

 private:
  std::istream& in_;
  std::ostream& out_;
};

// Answers from a queue; with the queue empty, OK boxes answer OK and every
// other box its first button (Yes, or OK for OK/Cancel). Records every box.
class ScriptedReporter : public MessageReporter {
 public:
  int ShowBox(const MessageBox& box) override;
  void QueueAnswer(int result) { answers_.push_back(result); }
  const std::vector<MessageBox>& Shown() const { return shown_; }
  void Clear() {
    shown_.clear();
    answers_.clear();
  }

 private:
  std::deque<int> answers_;
  std::vector<MessageBox> shown_;
};

// The reporter in use; the console reporter on stdin/stdout unless one was set.
MessageReporter& Reporter();
// Makes `reporter` the one in use (nullptr: back to the console reporter).
// The caller keeps it alive while it is set.
void SetReporter(MessageReporter* reporter);

}  // namespace dorvik::platform
