# Test sources left out of the Windows build: they start the tools as child
# processes with fork, exec, poll and socketpair, or test the router and the
# soak, which are not built for Windows. Everything they cover below the process boundary
# is tested by the other files of their areas. router_option no longer starts
# the tool; it stays out until it has been built and run under wine.
list(FILTER area_sources EXCLUDE REGEX
  "/(router/.*|soak/.*|cli/(host_bridge_process|readme_examples|router_option)_test|emulator/(adapters|executable)_test)\\.cpp$")
