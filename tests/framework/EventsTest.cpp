#include "framework/Events.h"
#include "ModalRecorder.h"

#include <gtest/gtest.h>

#include <stdexcept>

TEST(Events, PostedEventRunsLaterNotInsideTheCall)
{
  bool ran = false;
  PostEvent([&] { ran = true; });
  EXPECT_FALSE(ran);
  for (int i = 0; i < 10 && !ran; ++i)
    ProcessPendingEvents();
  EXPECT_TRUE(ran);
}

TEST(Events, EscapingExceptionBecomesAnEnglishMessage)
{
  ModalRecorder::Clear();
  DeliverEvent([] { throw std::runtime_error("boom"); });
  ASSERT_EQ(ModalRecorder::Requests().size(), 1u);
  EXPECT_EQ(ModalRecorder::Requests()[0].kind, ModalKind::MessageBox);
  EXPECT_NE(ModalRecorder::Requests()[0].message.find("boom"), std::string::npos);
}
