// The window's questions answered from lists, for the tests of either window.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "workflow/workflow_dialogs.h"

namespace zanthrel::testkit {

// Answers the workflows' questions from lists; an empty answer cancels, and
// no answer left to a yes/no question is no.
class ScriptedDialogs : public WorkflowDialogs {
 public:
  std::deque<std::optional<std::string>> images, folders, targets;
  std::deque<bool> writeInto;
  // Answers of the "Volume label..." dialog; none left cancels it.
  std::deque<TypedLabelFields> labelAnswers;
  // What it was shown each time: the fields and the problem.
  std::vector<std::pair<TypedLabelFields, std::string>> labelShown;
  // The folders that ConfirmWriteInto was asked about, in turn.
  std::vector<std::string> writeIntoAsked;
  int asked = 0;
  std::optional<std::string> ChooseImageFile() override { return Next(images); }
  std::optional<std::string> SelectFolder() override { return Next(folders); }
  std::optional<std::string> ChooseImageToWrite() override { return Next(targets); }
  bool ConfirmWriteInto(const std::string& folder) override {
    ++asked;
    writeIntoAsked.push_back(folder);
    if (writeInto.empty()) return false;
    const bool answer = writeInto.front();
    writeInto.pop_front();
    return answer;
  }
  std::optional<TypedLabelFields> EditLabelFields(const TypedLabelFields& current,
                                                  const std::string& problem) override {
    ++asked;
    labelShown.emplace_back(current, problem);
    if (labelAnswers.empty()) return std::nullopt;
    TypedLabelFields answer = labelAnswers.front();
    labelAnswers.pop_front();
    return answer;
  }

 private:
  std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers) {
    ++asked;
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace zanthrel::testkit
