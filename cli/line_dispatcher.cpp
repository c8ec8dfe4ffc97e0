#include "cli/line_dispatcher.h"

namespace korvex::cli {

namespace {

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t\r") == std::string::npos;
}

}  // namespace

void LineDispatcher::OnLine(InputLine line) {
  if (busy_) {
    pending_.push_back(std::move(line));
    return;
  }
  busy_ = true;
  Answer(line);
  // The lines that came during the calls, in order; their calls may add more.
  for (size_t i = 0; i < pending_.size(); ++i) {
    const InputLine next = std::move(pending_[i]);
    Answer(next);
  }
  pending_.clear();
  busy_ = false;
}

void LineDispatcher::Answer(const InputLine& line) {
  if (line.tooLong) {
    out_.WriteText(MalformedLine({"longer than ", std::to_string(kMaxInputLine), " bytes"}),
                   LineKind::kAnswer);
  } else if (IsBlank(line.text)) {
    out_.NoAnswer();
  } else {
    out_.WriteText(methods_.Answer(line.text, target_, request_), LineKind::kAnswer);
  }
}

}  // namespace korvex::cli
