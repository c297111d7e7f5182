// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The one way the tape logic tells the user something: a message box with a
// title, an icon, buttons and a text. The logic holds a reference to a
// Messages object; the desktop program shows a QMessageBox, the command line
// prints to standard error, the tests record what would have been shown.
// Standard library only, so that core/, split/, join/ and launcher/ may use it.

#include <string>
#include <vector>

namespace rw {

enum class MessageIcon { Critical, Exclamation, Question, Information };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

struct Message {
  std::string title;
  MessageIcon icon = MessageIcon::Information;
  MessageButtons buttons = MessageButtons::Ok;
  std::string text;  // UTF-8
};

class Messages {
 public:
  virtual ~Messages() = default;
  virtual MessageAnswer Show(const Message& message) = 0;

  // The common kinds, so that callers name only what varies.
  void Critical(const std::string& title, const std::string& text) {
    Show({title, MessageIcon::Critical, MessageButtons::Ok, text});
  }
  void Exclamation(const std::string& title, const std::string& text) {
    Show({title, MessageIcon::Exclamation, MessageButtons::Ok, text});
  }
  void Info(const std::string& title, const std::string& text) {
    Show({title, MessageIcon::Information, MessageButtons::Ok, text});
  }
  bool AskYesNo(const std::string& title, MessageIcon icon, const std::string& text) {
    return Show({title, icon, MessageButtons::YesNo, text}) == MessageAnswer::Yes;
  }
};

// Keeps every message and answers Yes/No questions with a preset answer.
// Used by the tests and by callers that collect messages to print later.
class RecordedMessages : public Messages {
 public:
  MessageAnswer Show(const Message& message) override {
    shown.push_back(message);
    return message.buttons == MessageButtons::YesNo ? answer : MessageAnswer::Ok;
  }
  std::vector<Message> shown;
  MessageAnswer answer = MessageAnswer::Yes;
};

}  // namespace rw
