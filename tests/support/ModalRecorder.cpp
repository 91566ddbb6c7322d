#include "ModalRecorder.h"

namespace {
std::deque<std::function<ModalAnswer(const ModalRequest&)>>& queue()
{
  static std::deque<std::function<ModalAnswer(const ModalRequest&)>> q;
  return q;
}
} // namespace

std::vector<ModalRequest>& ModalRecorder::Requests()
{
  static std::vector<ModalRequest> r;
  return r;
}

int ModalRecorder::Count(const std::string& message)
{
  int n = 0;
  for (const auto& r : Requests())
    n += r.message == message;
  return n;
}

int ModalRecorder::CountHolding(const std::string& text)
{
  int n = 0;
  for (const auto& r : Requests())
    n += r.message.find(text) != std::string::npos;
  return n;
}

void ModalRecorder::Install()
{
  SetModalResponder([](const ModalRequest& request) {
    Requests().push_back(request);
    if (queue().empty())
      return ModalAnswer{};
    auto answer = std::move(queue().front());
    queue().pop_front();
    return answer(request);
  });
}

void ModalRecorder::Push(std::function<ModalAnswer(const ModalRequest&)> answer)
{
  queue().push_back(std::move(answer));
}

void ModalRecorder::PushButton(int button)
{
  Push([button](const ModalRequest&) { return ModalAnswer{button, {}}; });
}

void ModalRecorder::PushPath(const std::string& path)
{
  Push([path](const ModalRequest&) { return ModalAnswer{-1, path}; });
}

void ModalRecorder::Clear()
{
  Requests().clear();
  queue().clear();
}
