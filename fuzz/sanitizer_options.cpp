// AddressSanitizer settings for every fuzz target, read before main. The
// checks stay; three costs that buy a fuzzer nothing go:
// - quarantine: freed memory waits in a queue before reuse so that a late
//   access to it is caught. The default queue (256 MiB) makes nearly every
//   allocation land on a fresh page (a page fault each); 16 MiB still holds
//   everything a single input frees.
// - malloc fill: every new block's first 4 KiB would be overwritten with a
//   marker byte, a memset per allocation that only makes reads of
//   uninitialised memory more visible, which AddressSanitizer does not check.
// - deep allocation stacks: each allocation and free records its caller's
//   stack for a possible report (a tenth of the receive target's time at 30
//   frames). Five frames still name the function that allocated or freed; to
//   see the whole stack, run the saved input again with
//   ASAN_OPTIONS=malloc_context_size=30.
extern "C" const char* __asan_default_options() {
  return "quarantine_size_mb=16:max_malloc_fill_size=0:malloc_context_size=5";
}
