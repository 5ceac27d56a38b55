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
  std::deque<std::optional<std::string>> images, folders, decompileFolders, targets;
  std::deque<bool> writeInto, compileFolder;
  // Answers of the "Volume label..." dialog; none left cancels it.
  std::deque<TypedLabelFields> labelAnswers;
  // What it was shown each time: the fields and the problem.
  std::vector<std::pair<TypedLabelFields, std::string>> labelShown;
  // The folders that ConfirmWriteInto was asked about, in turn.
  std::vector<std::string> writeIntoAsked;
  // What the folder and save dialogs were opened on, in turn: the folder
  // proposed; the start folder and the name suggested, joined by " | ".
  std::vector<std::string> decompileFolderProposed, targetsOffered;
  int asked = 0;
  std::optional<std::string> ChooseImageFile() override { return Next(images); }
  std::optional<std::string> SelectFolder() override { return Next(folders); }
  std::optional<std::string> ChooseDecompileFolder(const std::string& proposed) override {
    decompileFolderProposed.push_back(proposed);
    return Next(decompileFolders);
  }
  std::optional<std::string> ChooseImageToWrite(const std::string& startFolder,
                                                const std::string& suggestedName) override {
    targetsOffered.push_back(startFolder + " | " + suggestedName);
    return Next(targets);
  }
  bool ConfirmWriteInto(const std::string& folder) override {
    writeIntoAsked.push_back(folder);
    return Answer(writeInto);
  }
  bool ConfirmCompileFolder(const std::string&) override { return Answer(compileFolder); }
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
  bool Answer(std::deque<bool>& answers) {
    ++asked;
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::string> Next(std::deque<std::optional<std::string>>& answers) {
    ++asked;
    if (answers.empty()) return std::nullopt;
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
};

}  // namespace zanthrel::testkit
