#include "SettingsFixture.h"

#include "framework/Modal.h"

struct ButtonsCase {
  std::int32_t buttons;
  std::vector<std::string> shown;
};
void PrintTo(const ButtonsCase& c, std::ostream* os)
{
  *os << c.buttons << " buttons";
}

class CautionButtons : public SettingsTest, public ::testing::WithParamInterface<ButtonsCase> {};

TEST_P(CautionButtons, ShowsOnlyTheButtonsAskedFor)
{
  gCautionDlg(GetParam().buttons, "削除", "キャンセル", "別", "本当に削除しますか？", "この操作は取り消しができません。",
              nullptr);
  ASSERT_EQ(messageCount(), 1u);
  const ModalRequest& r = ModalRecorder::Requests()[0];
  EXPECT_EQ(r.kind, ModalKind::MessageDialog);
  EXPECT_EQ(r.buttons, GetParam().shown);
  EXPECT_EQ(r.message, "本当に削除しますか？");
  EXPECT_EQ(r.explanation, "この操作は取り消しができません。");
  EXPECT_EQ(r.icon, 1);
  EXPECT_TRUE(r.title.empty());
}

INSTANTIATE_TEST_SUITE_P(Counts, CautionButtons,
                         ::testing::Values(ButtonsCase{0, {"削除", "", ""}}, ButtonsCase{1, {"削除", "", ""}},
                                           ButtonsCase{2, {"削除", "キャンセル", ""}},
                                           ButtonsCase{3, {"削除", "キャンセル", "別"}},
                                           ButtonsCase{7, {"削除", "キャンセル", "別"}}));

struct AnswerCase {
  std::int32_t buttons;
  int pressed; // index into action, cancel, alternate; -1 Escape or closed
  std::int32_t result;
};
void PrintTo(const AnswerCase& c, std::ostream* os)
{
  *os << c.buttons << " buttons, pressed " << c.pressed;
}

class CautionAnswers : public SettingsTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(CautionAnswers, ReturnsTwoOneOrZero)
{
  ModalRecorder::PushButton(GetParam().pressed);
  EXPECT_EQ(gCautionDlg(GetParam().buttons, "a", "c", "x", "m", "e", nullptr), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Buttons, CautionAnswers,
                         ::testing::Values(AnswerCase{3, 0, CautionAction}, AnswerCase{3, 1, CautionCancel},
                                           AnswerCase{3, 2, CautionAlternate}, AnswerCase{3, -1, CautionCancel},
                                           AnswerCase{2, 0, CautionAction}, AnswerCase{2, -1, CautionCancel},
                                           AnswerCase{2, 2, CautionCancel}, AnswerCase{1, -1, CautionCancel}));

class CautionBeep : public SettingsTest, public ::testing::WithParamInterface<std::pair<std::int32_t, int>> {};

TEST_P(CautionBeep, BeepsOnlyWhenTheSlotIsExactlyOne)
{
  gPref[PrefBeepOnCaution] = GetParam().first;
  const int before = BeepCount();
  gCautionDlg(2, "a", "c", "", "m", "e", nullptr);
  gCautionDlg1("notice", "", nullptr);
  EXPECT_EQ(BeepCount() - before, 2 * GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Slot10, CautionBeep,
                         ::testing::Values(std::pair{1, 1}, std::pair{0, 0}, std::pair{2, 0}, std::pair{-1, 0}));

TEST_F(SettingsTest, NoticeShowsOneOkButton)
{
  gCautionDlg1("同期が終了しました。", "", nullptr);
  ASSERT_EQ(messageCount(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].buttons, (std::vector<std::string>{"OK", "", ""}));
  EXPECT_EQ(ModalRecorder::Requests()[0].message, "同期が終了しました。");
}
