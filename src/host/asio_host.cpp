#include "korvex/asio_host.h"

#include <asio/executor_work_guard.hpp>
#include <asio/post.hpp>
#include <ctime>
#include <utility>

#include "host/asio_event_queue.h"
#include "host/asio_socket.h"
#include "host/asio_timer.h"
#include "korvex/reg_file_registry.h"
#include "support/windows_compat.h"

namespace korvex {

struct AsioHost::WorkGuard {
  explicit WorkGuard(asio::io_context& io) : guard(io.get_executor()) {}
  asio::executor_work_guard<asio::io_context::executor_type> guard;
};

AsioHost::AsioHost()
    : registry_(RegistryFromEnvironment()),
      queue_(std::make_unique<AsioEventQueue>()),
      io_(std::make_unique<asio::io_context>(1)),
      work_(std::make_unique<WorkGuard>(*io_)) {}

// The work guard goes first, then the context with every pending handler, and
// the queue last: handlers only ever push to it.
AsioHost::~AsioHost() {
  work_.reset();
  io_.reset();
}

std::unique_ptr<Socket> AsioHost::CreateSocket(SocketEvents& events) {
  return MakeAsioSocket(*io_, *queue_, events, OwnerOf(events));
}

std::unique_ptr<Timer> AsioHost::CreateTimer(TimerEvents& events) {
  return MakeAsioTimer(*io_, *queue_, events, OwnerOf(events));
}

void AsioHost::DoEvents() {
  if (io_->stopped()) io_->restart();
  io_->poll();
  // Only what is pending now: events queued by the events themselves wait for
  // the next round.
  for (size_t n = queue_->Size(); n > 0 && queue_->DeliverOne(); --n) {
  }
}

// The Asio handlers of everyone run (they only queue, or are the world, such
// as a pad in this process), but of the queued events only the owner's: other
// controls' handlers and work posted to the loop never nest in this one. At
// most kYieldHandlers of them: a control yields before every ACK it sends,
// and with thousands of sockets ready a full poll would make the ACK wait for
// all their reads; the rest run from the loop, as soon as this event is over.
void AsioHost::DoEventsOf(const void* owner) {
  constexpr int kYieldHandlers = 32;
  if (io_->stopped()) io_->restart();
  for (int n = 0; n < kYieldHandlers && io_->poll_one() > 0; ++n) {
  }
  for (size_t n = queue_->SizeOf(owner); n > 0 && queue_->DeliverOneOf(owner); --n) {
  }
}

int64_t AsioHost::NowMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(Clock::now().time_since_epoch()).count();
}

LocalDateTime AsioHost::LocalNow() const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                       local.tm_hour,        local.tm_min,     local.tm_sec};
}

void AsioHost::SetRegistry(std::unique_ptr<RegistryBackend> registry) {
  if (registry) registry_ = std::move(registry);
}

bool AsioHost::Step(Clock::time_point deadline) {
  if (queue_->DeliverOne()) return true;
  if (io_->stopped()) io_->restart();
  // Checked after the restart, so a Stop from another thread is never lost.
  if (stopRequested_) return false;
  return io_->run_one_until(deadline) > 0 || io_->stopped();
}

bool AsioHost::RunOneUntil(Clock::time_point deadline) {
  while (queue_->Empty()) {
    if (!Step(deadline) || stopRequested_) return false;
  }
  return queue_->DeliverOne();
}

bool AsioHost::TakeStop() {
  return stopRequested_.exchange(false);
}

bool AsioHost::RunOne(std::chrono::milliseconds maxWait) {
  const bool delivered = RunOneUntil(Clock::now() + maxWait);
  TakeStop();
  return delivered;
}

// The predicate is checked after every handler as well as every event: a
// test peer living in the same context changes things without any event.
bool AsioHost::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds max) {
  const auto deadline = Clock::now() + max;
  while (!done()) {
    if (TakeStop() || !Step(deadline)) return done();
  }
  return true;
}

void AsioHost::RunFor(std::chrono::milliseconds duration) {
  RunUntil([] { return false; }, duration);
}

void AsioHost::Stop() {
  stopRequested_ = true;
  io_->stop();
}

void AsioHost::Post(std::function<void()> event) {
  asio::post(*io_, [queue = queue_.get(), event = std::move(event)]() mutable {
    queue->Push(std::move(event));
  });
}

size_t AsioHost::PendingEvents() const {
  return queue_->Size();
}

}  // namespace korvex
