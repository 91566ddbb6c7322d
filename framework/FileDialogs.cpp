#include "FileDialogs.h"

#include "Modal.h"

std::string ChooseSaveFile(const std::string& title, const std::string& suggestedName)
{
  ModalRequest r;
  r.kind = ModalKind::SaveFile;
  r.title = title;
  r.suggestedName = suggestedName;
  return RunModal(r).path;
}

std::string ChooseFolder(const std::string& title, const std::string& initialFolder)
{
  ModalRequest r;
  r.kind = ModalKind::SelectFolder;
  r.title = title;
  r.initialFolder = initialFolder;
  return RunModal(r).path;
}
