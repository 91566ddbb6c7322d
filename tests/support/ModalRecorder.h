#pragma once
// Answers every modal run in tests: records each request and replies from a
// queue of scripted answers (or cancels when the queue is empty).

#include "framework/Modal.h"

#include <deque>
#include <functional>
#include <vector>

class ModalRecorder {
public:
  static void Install();
  static std::vector<ModalRequest>& Requests();
  // How many requests showed this message.
  static int Count(const std::string& message);
  // Requests whose message holds text.
  static int CountHolding(const std::string& text);
  // Scripted answers, used in order; each may act on the request (press a
  // window's buttons) before returning its answer.
  static void Push(std::function<ModalAnswer(const ModalRequest&)> answer);
  static void PushButton(int button);
  static void PushPath(const std::string& path);
  static void Clear();
};
