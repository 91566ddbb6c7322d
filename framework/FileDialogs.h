#pragma once
// Save-file and folder choosers, run through the modal point. Each returns
// the chosen absolute path, or an empty text when the user cancelled.

#include <string>

std::string ChooseSaveFile(const std::string& title = {}, const std::string& suggestedName = {});
std::string ChooseFolder(const std::string& title = {}, const std::string& initialFolder = {});
