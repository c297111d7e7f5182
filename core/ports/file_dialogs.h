// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once
// The file and folder dialogs the windows show, as the windows see them. The
// desktop program shows Qt's dialogs (QtFileDialogs); the tests answer them
// with ScriptedFileDialogs and read back what was asked. Standard library
// only, like Messages.

#include <deque>
#include <string>
#include <vector>

namespace rw {

struct FileDialogRequest {
  enum class Kind { Open, Save, Folder };
  Kind kind = Kind::Open;
  std::string title;
  std::string folder;                // the folder the dialog opens in
  std::vector<std::string> filters;  // Qt filter texts such as "Commodore TAP File (*.tap)"
};

class FileDialogs {
 public:
  virtual ~FileDialogs() = default;
  // Each returns the chosen path (UTF-8), or an empty text when cancelled.
  virtual std::string Ask(const FileDialogRequest& request) = 0;

  std::string OpenFile(const std::string& title, const std::string& folder, std::vector<std::string> filters) {
    return Ask({FileDialogRequest::Kind::Open, title, folder, std::move(filters)});
  }
  // The caller asks its own question before replacing an existing file, so
  // the save dialog asks none.
  std::string SaveFile(const std::string& title, const std::string& folder, std::vector<std::string> filters) {
    return Ask({FileDialogRequest::Kind::Save, title, folder, std::move(filters)});
  }
  std::string ChooseFolder(const std::string& title, const std::string& folder) {
    return Ask({FileDialogRequest::Kind::Folder, title, folder, {}});
  }
};

// Answers each dialog with the next queued answer (empty, i.e. cancel, when
// none is left) and keeps every request.
class ScriptedFileDialogs : public FileDialogs {
 public:
  std::string Ask(const FileDialogRequest& request) override {
    asked.push_back(request);
    if (answers.empty()) return {};
    std::string answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<std::string> answers;
  std::vector<FileDialogRequest> asked;
};

}  // namespace rw
