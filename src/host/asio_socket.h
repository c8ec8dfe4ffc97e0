// The TCP client socket of AsioHost.
#pragma once

#include <asio/io_context.hpp>
#include <memory>

#include "host/asio_event_queue.h"
#include "korvex/host.h"

namespace korvex {

std::unique_ptr<Socket> MakeAsioSocket(asio::io_context& io, AsioEventQueue& queue,
                                       SocketEvents& events, const void* owner);

}  // namespace korvex
