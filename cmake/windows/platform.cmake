# Windows settings of the library: Asio's sockets come from Winsock, the API
# level is Windows 10, and windows.h keeps its hands off std::min/std::max.
target_include_directories(korvex SYSTEM PUBLIC $<BUILD_INTERFACE:${KORVEX_HOST_HEADERS}>)
target_compile_definitions(korvex PUBLIC _WIN32_WINNT=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(korvex PUBLIC ws2_32 mswsock)
