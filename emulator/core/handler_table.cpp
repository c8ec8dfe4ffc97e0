#include "emulator/core/handler_table.h"

#include <algorithm>

namespace korvex::emu {
namespace {

bool Matches(const MessageHandler& h, const std::string& text) {
  return text.compare(0, h.code.size(), h.code) == 0;
}

bool Overlap(AppSet a, AppSet b) {
  for (PadApp app : {PadApp::Payment, PadApp::Loader, PadApp::LoaderBooting,
                     PadApp::PaymentStarting, PadApp::Download}) {
    if (a.Has(app) && b.Has(app)) return true;
  }
  return false;
}

}  // namespace

void HandlerTable::Add(MessageHandler handler) {
  std::erase_if(handlers_, [&](const MessageHandler& h) {
    return h.code == handler.code && Overlap(h.apps, handler.apps);
  });
  handlers_.push_back(std::move(handler));
}

const MessageHandler* HandlerTable::Find(const std::string& text, PadApp app) const {
  const MessageHandler* best = nullptr;
  for (const auto& h : handlers_) {
    if (!h.apps.Has(app) || !Matches(h, text)) continue;
    if (best == nullptr || h.code.size() > best->code.size()) best = &h;
  }
  return best;
}

bool HandlerTable::Known(const std::string& text) const {
  return std::any_of(handlers_.begin(), handlers_.end(),
                     [&](const MessageHandler& h) { return Matches(h, text); });
}

std::function<std::string(const std::string&, PadServices&)> StatusReply(std::string code) {
  return [code](const std::string& status, PadServices&) { return code + status; };
}

}  // namespace korvex::emu
