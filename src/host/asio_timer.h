// The repeating timer of AsioHost, on an Asio steady_timer.
#pragma once

#include <asio/io_context.hpp>
#include <memory>

#include "host/asio_event_queue.h"
#include "korvex/host.h"

namespace korvex {

std::unique_ptr<Timer> MakeAsioTimer(asio::io_context& io, AsioEventQueue& queue,
                                     TimerEvents& events, const void* owner);

}  // namespace korvex
