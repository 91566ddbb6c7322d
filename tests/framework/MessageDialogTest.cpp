#include "framework/MessageDialog.h"
#include "ModalRecorder.h"

#include <gtest/gtest.h>

TEST(MessageDialog, HiddenButtonsGoOutEmptyAndCannotBeTheAnswer)
{
  ModalRecorder::Clear();
  MessageDialog d;
  d.ActionButton.Caption = "Go";
  d.CancelButton.Caption = "Stop";
  d.AlternateActionButton.Caption = "Other";
  d.AlternateActionButton.Visible = true;
  d.Message = "m";
  d.Explanation = "e";
  d.Icon = 1;
  ModalRecorder::PushButton(1); // the cancel button is hidden
  ModalRecorder::PushButton(2);
  EXPECT_EQ(d.ShowModalWithin(nullptr), nullptr);
  EXPECT_EQ(d.ShowModalWithin(nullptr), &d.AlternateActionButton);
  ASSERT_EQ(ModalRecorder::Requests().size(), 2u);
  const ModalRequest& r = ModalRecorder::Requests()[0];
  EXPECT_EQ(r.kind, ModalKind::MessageDialog);
  EXPECT_EQ(r.buttons, (std::vector<std::string>{"Go", "", "Other"}));
  EXPECT_EQ(r.message, "m");
  EXPECT_EQ(r.explanation, "e");
  EXPECT_EQ(r.icon, 1);
}
